#pragma once

#include "editor/filetext.h"
#include "editor/gaptext.h"
#include "editor/lineend.h"
#include "editor/piecetext.h"

#include <QString>
#include <QStringView>

#include <array>

#include <functional>
#include <memory>
#include <variant>
#include <vector>

// The text of a store as it stood when the snapshot was taken, for reading
// on another thread while the store goes on being edited. Typing and
// deleting where the last edit was leave it readable; any other edit, a new
// text or the store going away ends it, and a reading then stops.
class TextSnapshot
{
public:
    TextSnapshot() = default;
    // Calls onText for each stretch of characters and onBreak with the line
    // end of each line break, in order. False when the snapshot ended before
    // everything was read (what was given until then is of no use).
    bool read(const std::function<void(QStringView text)> &onText,
              const std::function<void(LineEnd lineEnd)> &onBreak) const;
    bool isNull() const { return !m_lease && !m_pieces; }
    // For a text kept in its file: the file, and the text as stretches of it
    // (onFile with their position and length in the file's text) between
    // the text added since; false when the file could not be read. Null and
    // false for other texts.
    std::shared_ptr<const FileText> file() const;
    bool readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                   const std::function<void(QStringView text)> &onText,
                   const std::function<void(LineEnd lineEnd)> &onBreak) const;

private:
    friend class TextStore;
    // Of a text in memory, or of one kept in its file.
    std::shared_ptr<GapTextLease> m_lease;
    std::shared_ptr<const PieceText::Copy> m_pieces;
};

// A text as an editor keeps it: its characters, with
// each line break stored as one character (so a position counts a break as
// one), each break's own line end, and one level of undo.
//
// The text is a GapText, in memory; a text read from a file too big for
// that stays in the file, as a PieceText. The store keeps undo, which joins
// edits the same way for both, and snapshots.
class TextStore
{
public:
    // The character that stands for a line break in the store.
    static constexpr char16_t lineBreak = u'\n';

    // How an edit joins the edit before it for undo.
    enum class EditKind {
        // A step of its own.
        Separate,
        // Typed characters: joins typing that ended where it starts.
        Typing,
        // A character deleted by a key: joins key deletions next to it.
        Deleting,
    };

    TextStore();
    ~TextStore();
    TextStore(const TextStore &) = delete;
    TextStore &operator=(const TextStore &) = delete;

    // Replaces the whole text by text, whose line breaks are as a file has
    // them (CR LF, LF, CR, U+2029, U+FDD0, U+FDD1). Each break keeps its own
    // line end. Clears undo. Takes the text over, converting it in place.
    // Returns how many breaks of each kind there were.
    std::array<qsizetype, lineEndKinds> load(QString &&text);
    // Makes the file's text the whole text, read from the file as needed.
    // Clears undo. Only what the file's index has gone through is in the
    // text at first: the rest comes in with grow().
    void load(std::shared_ptr<const FileText> file);
    // The same, with the text made of stretches of the file and text between
    // them, whose line breaks are as a file has them: what readEdits() of a
    // snapshot gave.
    using Stretch = PieceText::Stretch;
    void load(std::shared_ptr<const FileText> file, const std::vector<Stretch> &stretches);
    // The file holds the whole text as it is now (it was just saved there):
    // the text is read from it from now on. Clears undo. False, changing
    // nothing, when the file's text is not as long.
    bool rebase(std::shared_ptr<const FileText> file);
    // For a text kept in its file: the text as stretches of the file
    // (onFile, when given; else read as text) and text between them, each
    // break with its line end, in one pass. False otherwise, or when the
    // file could not be read.
    bool readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                   const std::function<void(QStringView text)> &onText,
                   const std::function<void(LineEnd lineEnd)> &onBreak) const;
    // While the file's index goes on, the text is the part it has gone
    // through, unedited; snapshots and readEdits() give the whole file
    // all the same.
    bool growing() const
    {
        const PieceText *text = pieces();
        return text && text->growing();
    }
    // How much of the file is in the text, from 0 to 1.
    double grownShare() const;
    // Takes in what the index went through since; gives the characters
    // added at the end. An edit takes in the whole text first.
    qsizetype grow();
    // Waits until the index has gone through that many lines (or the whole
    // file), without taking them in.
    void waitForLines(qsizetype lines) const;
    // For a text kept in its file, where the file's bytes can be searched
    // for what (see FileText::searchesBytes()): the first position at or
    // after from where what stands, or -1, in found. False otherwise.
    bool findInBytes(QStringView what, qsizetype from, qsizetype *found) const;
    // The same for every place in turn, none overlapping the one before,
    // until onHit says false.
    bool findAllInBytes(QStringView what, qsizetype from, const std::function<bool(qsizetype)> &onHit) const;
    // Whether [from, to) might hold what, compared ignoring case: false only
    // where it is all text of the file that FileText::mayHoldIgnoringCase()
    // rules out.
    bool mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const;
    // The file the text is read from, or null.
    const FileText *file() const
    {
        const PieceText *text = pieces();
        return text ? text->file() : nullptr;
    }
    // For a text kept in its file, about as many characters as its longest
    // line has, found without reading every line: the file's longest line
    // and the longest stretch added since; else -1.
    qsizetype longestLineBound() const
    {
        const PieceText *text = pieces();
        return text ? text->longestLineBound() : -1;
    }

    // Characters, line breaks counting one.
    qsizetype length() const;
    qsizetype lineCount() const;
    // The position of the line's first character.
    qsizetype lineStart(qsizetype line) const;
    // The characters of the line, without its break.
    qsizetype lineLength(qsizetype line) const;
    // The line that holds position (a break belongs to the line it ends);
    // the end of the text is on the last line.
    qsizetype lineAt(qsizetype position) const;
    // How the line ends in a file; the last line has no break (its value is
    // then meaningless).
    LineEnd lineEnd(qsizetype line) const;

    QChar at(qsizetype position) const;
    // A copy of [position, position + count), breaks as lineBreak.
    QString text(qsizetype position, qsizetype count) const;
    // The characters of [position, position + count) in order, as at most a
    // few views without copying (breaks as lineBreak); each view is given
    // with the position of its first character. Valid until the next edit.
    void read(qsizetype position, qsizetype count,
              const std::function<void(QStringView part, qsizetype start)> &onPart) const;
    // The whole text as runs of characters between line breaks (onText) and
    // each break's line end (onBreak), in one pass. False when the file of
    // a text kept in it could not be read.
    bool readRuns(const std::function<void(QStringView text)> &onText,
                  const std::function<void(LineEnd lineEnd)> &onBreak) const;

    // [from, to) as one view, moving the gap out of it where it lies inside
    // (which changes no text, and costs as much as the characters it passes).
    // Valid until the next edit or read of another stretch.
    QStringView contiguous(qsizetype from, qsizetype to) const;

    // Replaces [position, position + removed) by text. Each CR LF, LF, CR,
    // U+2029, U+FDD0 or U+FDD1 in text makes a line break with line end
    // newLineEnd. position and removed are clamped to the text.
    void replace(qsizetype position, qsizetype removed, QStringView text, LineEnd newLineEnd,
                 EditKind kind = EditKind::Separate);

    // text as the store keeps it: each CR LF, LF, CR, U+2029, U+FDD0 and
    // U+FDD1 one lineBreak.
    static QString storedForm(QStringView text);

    // One of several replacements made as one edit: [position, position +
    // removed) of the text as it stands before any of them, by text, whose
    // breaks are lineBreak already.
    using Replacement = PieceText::Replacement;
    // Makes the replacements, in order of position and apart, as one step of
    // undo; each break they put in takes newLineEnd. Of a text in memory only
    // the text between the first and the last moves, once; of a text kept in
    // its file the table of pieces is built once, so memory grows with the
    // replacements, not the text.
    void replaceEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd);

    // The text as it is now, without a copy. The store keeps the memory the
    // snapshot reads unchanged until an edit away from the last one needs
    // it, which ends the snapshot instead of waiting for its reader.
    TextSnapshot snapshot() const;
    // Ends the snapshot while it is still being read, as an edit that needs
    // its memory does.
    void endSnapshot() const;

    // One level of undo: undo() takes back the last edit (typing or deleting
    // that joined counts as one), and called again puts it back.
    bool canUndo() const;
    // The edit it made, for the caret: where it starts, and how much text
    // stands there now. False when there was nothing to undo.
    bool undo(qsizetype *position = nullptr, qsizetype *length = nullptr);
    // What the next undo takes away: where it starts and how long it is.
    // False when there is nothing to undo.
    bool undoTakes(qsizetype *position, qsizetype *length) const;
    void clearUndo();
    // The next edit does not join the one before it.
    void breakUndoJoin();

private:
    // Of an edit: one of the replacements it made, where it stands once those
    // before it are made, and what it took out.
    template <typename Cut>
    struct UndoPart
    {
        qsizetype position = 0;
        Cut removed;
        qsizetype inserted = 0;
    };

    // The edit as a whole: where it starts and how much it put there.
    struct Undo
    {
        qsizetype position = 0;
        qsizetype inserted = 0;
        EditKind kind = EditKind::Separate;
        bool valid = false;
        bool joinable = false;
    };

    // The text, and the parts of the edit undo takes back.
    template <typename Text>
    struct Held
    {
        Text text;
        std::vector<UndoPart<typename Text::Cut>> undo;
    };

    const PieceText *pieces() const
    {
        const auto *held = std::get_if<Held<PieceText>>(&m_held);
        return held ? &held->text : nullptr;
    }
    PieceText *pieces()
    {
        auto *held = std::get_if<Held<PieceText>>(&m_held);
        return held ? &held->text : nullptr;
    }
    // Calls f with the text, whichever it is.
    template <typename F>
    decltype(auto) withText(F &&f) const
    {
        return std::visit([&f](const auto &held) -> decltype(auto) { return f(held.text); }, m_held);
    }
    template <typename Text>
    void joinUndo(Held<Text> &held, qsizetype position, typename Text::Cut &&removed, qsizetype inserted,
                  EditKind kind);
    template <typename Text>
    void undoParts(Held<Text> &held, qsizetype *position, qsizetype *length);
    void replaceEachIn(Held<GapText> &held, const std::vector<Replacement> &replacements, LineEnd newLineEnd);
    void replaceEachIn(Held<PieceText> &held, const std::vector<Replacement> &replacements, LineEnd newLineEnd);

    std::variant<Held<GapText>, Held<PieceText>> m_held;
    Undo m_undo;
};
