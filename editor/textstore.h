#pragma once

#include "editor/filetext.h"
#include "editor/lineend.h"

#include <QString>
#include <QStringView>

#include <array>

#include <functional>
#include <memory>
#include <vector>

struct TextStoreLease;

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
    bool isNull() const { return !m_lease; }
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
    std::shared_ptr<TextStoreLease> m_lease;
};

// A text as an editor keeps it: its characters, with
// each line break stored as one character (so a position counts a break as
// one), each break's own line end, and one level of undo.
//
// The characters sit in one buffer with a gap at the place of the last edit,
// so typing moves nothing, and the start of every line is kept in a second
// buffer with a gap at the line of the last edit, so finding a line is a
// binary search and typing in one place changes no line's entry.
//
// A text read from a file too big for that stays in the file: the store is
// then a table of pieces, each a stretch of the file or of the text added
// since, and reads the file a block at a time.
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
    struct Stretch
    {
        qsizetype fileStart = -1;
        qsizetype fileLength = 0;
        QString text;
    };
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
    bool growing() const { return m_growing; }
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
    const FileText *file() const { return m_file.get(); }
    // For a text kept in its file, about as many characters as its longest
    // line has, found without reading every line: the file's longest line
    // and the longest stretch added since; else -1.
    qsizetype longestLineBound() const { return m_file ? m_file->longestLine() + m_longestAdded : -1; }

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
    struct Replacement
    {
        qsizetype position = 0;
        qsizetype removed = 0;
        QString text;
    };
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
    // A stretch of the file, or of the text added since.
    struct Piece
    {
        bool added = false;
        qsizetype start = 0;
        qsizetype length = 0;
        qsizetype breaks = 0;
    };

    // Of an edit made of several replacements: one of them, where it stands
    // once those before it are made.
    struct UndoPart
    {
        qsizetype position = 0;
        QString removed;
        std::vector<LineEnd> removedLineEnds;
        qsizetype inserted = 0;
    };

    struct Undo
    {
        qsizetype position = 0;
        // The text the edit removed, breaks as lineBreak, and their line ends
        // in order.
        QString removed;
        std::vector<LineEnd> removedLineEnds;
        // How much the edit put there.
        qsizetype inserted = 0;
        EditKind kind = EditKind::Separate;
        bool valid = false;
        bool joinable = false;
        // What the edit removed from a text kept in its file.
        std::vector<Piece> removedPieces;
        // An edit of a text in memory made of several replacements, in order.
        std::vector<UndoPart> parts;
    };

    // The text kept in its file.
    // The table of pieces, the part the index has not gone through yet
    // included.
    std::vector<Piece> wholePieces() const;
    qsizetype pieceIndex(qsizetype position) const;
    qsizetype pieceStart(qsizetype index) const { return index == 0 ? 0 : m_pieceEnds[size_t(index - 1)]; }
    qsizetype pieceBreaksBefore(qsizetype index) const { return index == 0 ? 0 : m_pieceBreakEnds[size_t(index - 1)]; }
    qsizetype breaksIn(bool added, qsizetype start, qsizetype length) const;
    qsizetype fileBreaksBefore(qsizetype position) const;
    void readPieces(qsizetype position, qsizetype count,
                    const std::function<void(QStringView part, qsizetype start)> &onPart) const;
    qsizetype breakPosition(qsizetype breakIndex, LineEnd *lineEnd) const;
    void splitPieceAt(qsizetype at);
    qsizetype piecesBefore(qsizetype position) const;
    // Takes [position, position + count) out of the table and gives it.
    std::vector<Piece> cutPieces(qsizetype position, qsizetype count);
    void insertPieces(qsizetype position, const std::vector<Piece> &pieces);
    Piece addText(QStringView stored, LineEnd lineEnd);
    Piece addFileText(const FileText &file, qsizetype start, qsizetype length);
    void replacePieces(qsizetype position, qsizetype removed, const QString &stored, LineEnd newLineEnd, EditKind kind);
    bool undoPieces(qsizetype *position, qsizetype *length);
    bool undoParts(qsizetype *position, qsizetype *length);
    void replacePiecesEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd);
    void sumPieces();
    static bool readPieceTable(const FileText &file, const std::vector<Piece> &pieces, const QString &added,
                               const std::vector<qsizetype> &addedBreaks, const std::vector<LineEnd> &addedLineEnds,
                               const std::function<void(qsizetype, qsizetype)> &onFile,
                               const std::function<void(QStringView)> &onText,
                               const std::function<void(LineEnd)> &onBreak);

    bool inSnapshot() const;
    void moveGap(qsizetype position) const;
    void ensureGap(qsizetype characters);
    void moveLineGap(qsizetype line);
    void ensureLineGap(qsizetype lines);
    // Removes without keeping anything; gives the removed line ends in order.
    void erase(qsizetype position, qsizetype count, std::vector<LineEnd> *lineEnds);
    // Inserts text already in the store's form: breaks as lineBreak, each
    // taking the next of lineEnds.
    void insertStored(qsizetype position, QStringView text, const LineEnd *lineEnds);

    char16_t *chars() const { return reinterpret_cast<char16_t *>(m_chars.data()); }
    qsizetype physical(qsizetype position) const { return position < m_gapStart ? position : position + (m_gapEnd - m_gapStart); }
    // The entry of the line break that ends line, wherever it lies.
    quint64 lineEntry(qsizetype line) const;
    // How many lines start at or before position, less the first.
    qsizetype linesStartingBy(qsizetype position) const;

    // The characters: [0, m_gapStart) and [m_gapEnd, m_chars.size()). A
    // QString, so that a loaded file's text becomes the store without a copy.
    // Where the gap lies is no part of the text, so reading may move it.
    mutable QString m_chars;
    mutable qsizetype m_gapStart = 0;
    mutable qsizetype m_gapEnd = 0;
    // One entry per line after the first: the line's start and, in the low
    // three bits, the line end of the break before it. Entries before the gap
    // count from the start of the text, those after it from the end, so
    // that edits before them change nothing.
    std::vector<quint64> m_lines;
    qsizetype m_lineGapStart = 0;
    qsizetype m_lineGapEnd = 0;
    Undo m_undo;
    mutable std::shared_ptr<TextStoreLease> m_lease;
    // What contiguous() gives while a snapshot keeps the gap where it is.
    mutable QString m_contiguousCopy;

    std::shared_ptr<const FileText> m_file;
    bool m_growing = false;
    qint64 m_grownBytes = 0;
    std::vector<Piece> m_pieces;
    // Where each piece ends, and the breaks up to its end.
    std::vector<qsizetype> m_pieceEnds;
    std::vector<qsizetype> m_pieceBreakEnds;
    // The longest piece of the text added since.
    qsizetype m_longestAdded = 0;
    // The text added since the file was read, breaks as lineBreak, with the
    // place and line end of each break.
    QString m_added;
    std::vector<qsizetype> m_addedBreaks;
    std::vector<LineEnd> m_addedLineEnds;
    // The block contiguous() gives a view of.
    mutable std::shared_ptr<const FileText::Decoded> m_contiguousBlock;
};
