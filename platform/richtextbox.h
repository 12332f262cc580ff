#pragma once

#include "editor/charsets.h"
#include "editor/opentext.h"
#include "editor/textfinder.h"
#include "editor/textview.h"
#include "platform/error.h"
#include "platform/messages.h"

// A file failure of the text engine as the program reports it: its error
// number, and the file and the reason in its description.
Error fileError(const FileError &error);

// An occurrence found in Text.
struct TextMatch
{
    qsizetype start = -1; // in Text, or -1: not found
    qsizetype length = 0; // characters of Text the match covers
    bool found() const { return start >= 0; }
};

// What a save writes: the document's own encoding, or UTF-8 instead.
enum class SaveEncoding { Own, Utf8 };

// File types of LoadFile and SaveFile; the program uses plain text only.
namespace RichTextFileType {
constexpr int RichText = 0;
constexpr int Text = 1;
}

// The edit control that holds a document's text, in one font.
//
// Text shows every line break as CR LF, whatever the file had, and the
// selection is counted in characters of that same text, so a position found
// in Text can be given to SelStart as it is. Behind it each line keeps its
// own line end and the document its encoding, so a file loaded and saved
// again without edits is written back byte for byte; new lines take the
// file's most common line end. A file is never written in another encoding
// than its own unless the caller says so.
//
// Undo has one level: EM_UNDO undoes the last change, and sent again undoes
// that undo.
//
// Keys that a window's menu also has go there: the undo, redo, delete and
// select-all keys are the window's shortcuts where it has them (the control
// has no undo key of its own). The cut, copy and paste keys reach the control
// first, which acts on them at once, and then the window's shortcut.
class RichTextBox : public TextView, public MessageTarget
{
    Q_OBJECT

public:
    explicit RichTextBox(QWidget *parent = nullptr);

    QString Text() const;
    // The length of Text, without building it.
    qsizetype textLength() const;
    // Text's characters [from, from + count), without building the rest.
    QString textStretch(qsizetype from, qsizetype count) const;

    qsizetype SelStart() const;
    // Moves the caret there and empties the selection; beyond the end means
    // the end.
    Error setSelStart(qsizetype start);
    qsizetype SelLength() const;
    // Selects that many characters from SelStart; a selection that would end
    // between the CR and the LF of a line break takes the whole break.
    Error setSelLength(qsizetype length);
    QString SelText() const;
    // Replaces the selection, or inserts at the caret; the caret ends after
    // the new text. Each CR LF, LF or CR in it starts a new line.
    void setSelText(const QString &text);

    // Down: the first occurrence of what in Text that starts at or after from.
    // Up: the last occurrence that starts at or before from (from < 0: none).
    // Either way the occurrence lies wholly inside Text. An empty what is never found.
    // TextFinder tells how UpperCase compares; its positions are Text's too.
    // Only a what with a line break in it reads a copy of the text.
    TextMatch findText(const QString &what, qsizetype from, SearchDirection direction, TextCase textCase) const;

    // The font name as it was given ("Fixedsys" stays "Fixedsys" even where
    // another family draws it). Bold, italic and the rest: font().
    QString fontName() const;
    void setFontName(const QString &name);
    double fontSize() const;
    Error setFontSize(double points);

    // 0: lines wrap at the window's edge; any other width in twips (65535 as
    // designed): lines do not wrap.
    int RightMargin() const { return m_rightMargin; }
    Error setRightMargin(int twips);

    // Whether the selection disappears while the control has no focus.
    bool HideSelection() const { return hideSelection(); }

    WindowHandle hwnd() { return this; }

    // Replaces the whole text with the file's; on failure the text stays as
    // it was.
    [[nodiscard]] Error LoadFile(const QString &path, int fileType = RichTextFileType::Text);
    // As LoadFile, reading the file in the encoding named (one of
    // chosenEncodings()) whatever its bytes; an empty name finds it from them.
    [[nodiscard]] Error LoadFile(const QString &path, int fileType, const QString &encoding);
    // The name of the encoding the next save writes, and a new one for it
    // (false for a name not among chosenEncodings(), which changes nothing).
    QString fileEncoding() const { return encodingName(m_format); }
    bool setFileEncoding(const QString &encoding);
    // Replaces the whole text by text, whose line breaks are as a file of
    // that format holds them, to be saved in that format.
    void loadText(QString &&text, const TextFileFormat &format);
    // Files of this many bytes or more are read from the file as they are
    // shown, a block of blockBytes at a time, instead of being decoded whole.
    // QUILLORY_KEPT_IN_FILE_FROM and QUILLORY_FILE_BLOCK_BYTES set them for
    // a run of the tests.
    static qint64 keptInFileFrom();
    // Replaces the whole text by stretches of the file, read in its format,
    // and text between them, to be saved in format.
    [[nodiscard]] Error loadEdits(const QString &source, const TextFileFormat &sourceFormat,
                                  const std::vector<TextStore::Stretch> &stretches, const TextFileFormat &format);
    static qsizetype fileBlockBytes();
    // Writes the whole text, creating or replacing the file; on failure the
    // file that was there stays as it was.
    [[nodiscard]] Error SaveFile(const QString &path, int fileType = RichTextFileType::Text);
    // Whether the document's encoding has a code for every character of the
    // text (an 8-bit file may lack some that were typed).
    bool fitsFileEncoding() const;
    // Writes the whole text to each of paths, reading it out of the control
    // once; the files are completed in their order, and those after the
    // first are copies of it that take its permissions. Gives each path's
    // outcome. With stopAtFailure, the files after the first that fails are
    // left as they were (their outcome is an error too). A text that does not
    // fit the document's encoding is not written unless encoding says UTF-8,
    // which then becomes the document's once a file is written.
    [[nodiscard]] QList<Error> SaveFiles(const QStringList &paths, int fileType = RichTextFileType::Text,
                                         bool stopAtFailure = false, SaveEncoding encoding = SaveEncoding::Own);

    // The encoding and line end that the next save writes.
    const TextFileFormat &fileFormat() const { return m_format; }
    // Puts back a format fileFormat() gave, byte-order mark and all.
    void setFileFormat(const TextFileFormat &format) { m_format = format; }

    intptr_t windowMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

signals:
    // After every change of the text: typed, pasted, deleted, set by the
    // program or loaded from a file.
    void Change();
    // Virtual-key code and shift state; a handler that sets KeyCode to 0
    // keeps the key from the control.
    void KeyDown(int &KeyCode, int Shift);
    void KeyUp(int &KeyCode, int Shift);
    void LostFocus();
    void overwriteModeChanged(bool overwrite);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    enum class BreakSide { Before, After };

    bool textCompleted() override;
    // The whole of a text growing from its file, for what reads the text.
    void wholeText() const;
    static TextOpening opening();
    qsizetype textPosition(qsizetype storePosition) const;
    qsizetype storePosition(qsizetype textPosition, BreakSide side) const;

    TextFileFormat m_format;
    // The encoding a file was opened in by name, or empty.
    QString m_loadedEncoding;
    QString m_fontName;
    int m_rightMargin = 0;
    // A clipboard key that the control handled when it was announced, before
    // the window's shortcuts saw it.
    bool m_keyTakenEarly = false;
    QKeyCombination m_keyTakenEarlyCombination;
};
