#include "platform/richtextbox.h"

#include "editor/opentext.h"
#include "editor/savetext.h"
#include "editor/storesearch.h"
#include "editor/textdecode.h"
#include "editor/textencode.h"
#include "platform/keys.h"
#include "platform/screen.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Each line break of the store is one character; Text shows it as CR LF.
// Works in place, from the end, so the text is not copied again.
QString withCrLfBreaks(QString text)
{
    const qsizetype breaks = text.count(QChar(TextStore::lineBreak));
    if (breaks <= 0)
        return text;
    const qsizetype from = text.size();
    text.resize(from + breaks);
    char16_t *p = reinterpret_cast<char16_t *>(text.data());
    qsizetype src = from;
    qsizetype dst = text.size();
    while (src > 0 && dst > src) {
        const char16_t c = p[--src];
        p[--dst] = c;
        if (c == TextStore::lineBreak)
            p[--dst] = u'\r';
    }
    return text;
}

QString quoted(const QString &path)
{
    return QLatin1Char('\'') + QDir::toNativeSeparators(path) + QLatin1Char('\'');
}

} // namespace

Error fileError(const FileError &error)
{
    using Kind = FileError::Kind;
    int number = 0;
    switch (error.kind) {
    case Kind::None: return Error::none();
    case Kind::NoFolder: number = ErrorNumber::PathNotFound; break;
    case Kind::NoFile: number = ErrorNumber::FileNotFound; break;
    case Kind::NotAFile:
    case Kind::CannotOpen: number = ErrorNumber::PathFileAccessError; break;
    case Kind::NotReadable: number = ErrorNumber::PermissionDenied; break;
    case Kind::ReadFailed:
    case Kind::WriteFailed: number = ErrorNumber::DeviceIOError; break;
    case Kind::DiskFull: number = ErrorNumber::DiskFull; break;
    case Kind::NotWritten: number = ErrorNumber::PathFileAccessError; break;
    case Kind::ChangedOutside: number = ErrorNumber::DeviceIOError; break;
    case Kind::OutOfMemory: number = ErrorNumber::OutOfMemory; break;
    case Kind::Internal: number = ErrorNumber::InternalError; break;
    }
    QString detail = quoted(error.path);
    if (error.kind == Kind::NotAFile)
        detail += QStringLiteral(" is not a file");
    if (error.kind == Kind::NotWritten)
        detail += QStringLiteral(" (not written)");
    if (error.kind == Kind::ChangedOutside)
        detail += QStringLiteral(" was changed by another program while it was open");
    if (!error.reason.isEmpty())
        detail += QStringLiteral(" (") + error.reason + QLatin1Char(')');
    if (!error.keptIn.isEmpty())
        detail += QStringLiteral("; the old text is kept in ") + quoted(error.keptIn);
    return Error::make(number, detail);
}

RichTextBox::RichTextBox(QWidget *parent)
    : TextView(parent)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setWrapsAtEdge(true);
    setNewLineEnd(m_format.lineEnd);
    m_fontName = font().family();
    connect(this, &TextView::textChanged, this, &RichTextBox::Change);
}

void RichTextBox::wholeText() const
{
    // Taking in the rest of a growing text changes what is in the view, not
    // the text the program sees.
    (void)const_cast<RichTextBox *>(this)->completeText();
}

QString RichTextBox::Text() const
{
    wholeText();
    QString text(textLength(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    // A few long views, each break in them made CR LF where it stands.
    store().read(0, store().length(), [&](QStringView part, qsizetype) {
        for (qsizetype at = 0; at < part.size();) {
            const qsizetype lineBreak = part.indexOf(QChar(TextStore::lineBreak), at);
            const qsizetype end = lineBreak < 0 ? part.size() : lineBreak;
            out = std::copy(part.utf16() + at, part.utf16() + end, out);
            if (lineBreak < 0)
                break;
            *out++ = u'\r';
            *out++ = u'\n';
            at = lineBreak + 1;
        }
    });
    return text;
}

qsizetype RichTextBox::textLength() const
{
    wholeText();
    return store().length() + store().lineCount() - 1;
}

QString RichTextBox::textStretch(qsizetype from, qsizetype count) const
{
    const qsizetype length = textLength();
    from = qBound(qsizetype(0), from, length);
    count = qBound(qsizetype(0), count, length - from);
    qsizetype at = storePosition(from, BreakSide::Before);
    // From between a CR and its LF: the stretch begins with the LF.
    QString stretch;
    if (textPosition(at) < from) {
        stretch = QStringLiteral("\n");
        ++at;
    }
    stretch += withCrLfBreaks(store().text(at, std::min(count, store().length() - at)));
    stretch.truncate(count);
    return stretch;
}

qsizetype RichTextBox::textPosition(qsizetype storePosition) const
{
    return storePosition + store().lineAt(storePosition);
}

qsizetype RichTextBox::storePosition(qsizetype textPosition, BreakSide side) const
{
    const TextStore &text = store();
    textPosition = qBound(qsizetype(0), textPosition, textLength());
    // The line that holds the position: the last one whose start in Text
    // (its start in the store plus one for each CR LF before it) is not
    // beyond it.
    qsizetype low = 0;
    qsizetype high = text.lineCount() - 1;
    while (low < high) {
        const qsizetype middle = low + (high - low + 1) / 2;
        if (text.lineStart(middle) + middle <= textPosition)
            low = middle;
        else
            high = middle - 1;
    }
    const qsizetype start = text.lineStart(low);
    const qsizetype offset = textPosition - (start + low);
    const qsizetype lineLength = text.lineLength(low);
    if (offset <= lineLength)
        return start + offset;
    // Between the CR and the LF of the line's break.
    return start + lineLength + (side == BreakSide::After ? 1 : 0);
}

qsizetype RichTextBox::SelStart() const
{
    return textPosition(selectionStart());
}

Error RichTextBox::setSelStart(qsizetype start)
{
    if (start < 0)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("SelStart"));
    const qsizetype position = storePosition(start, BreakSide::Before);
    setSelection(position, position);
    return Error::none();
}

qsizetype RichTextBox::SelLength() const
{
    return textPosition(selectionEnd()) - textPosition(selectionStart());
}

Error RichTextBox::setSelLength(qsizetype length)
{
    if (length < 0)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("SelLength"));
    const qsizetype start = selectionStart();
    setSelection(start, storePosition(textPosition(start) + length, BreakSide::After));
    return Error::none();
}

QString RichTextBox::SelText() const
{
    return withCrLfBreaks(selectedText());
}

void RichTextBox::setSelText(const QString &text)
{
    replaceSelection(text);
}

TextMatch RichTextBox::findText(const QString &what, qsizetype from, SearchDirection direction, TextCase textCase) const
{
    const bool down = direction == SearchDirection::Down;
    if (what.isEmpty() || (!down && from < 0))
        return {};
    from = qBound(qsizetype(0), from, textLength());
    const TextFinder finder(what, textCase);
    if (finder.needsLineBreaks()) {
        // The store keeps no CR LF to compare with.
        const QString text = Text();
        const TextFinder::Hit hit = down ? finder.find(text, from, text.size(), direction)
                                         : finder.find(text, 0, from + 1, direction);
        return hit.found() ? TextMatch {hit.start, hit.end - hit.start} : TextMatch {};
    }
    // Without line breaks in what, a break of the store matches nothing, so
    // the store is searched as it is. Between a CR and its LF is the line
    // break, where no such what starts.
    const TextFinder::Hit hit
        = findInStore(store(), finder, storePosition(from, BreakSide::Before), direction, 4 * fileBlockBytes());
    if (!hit.found())
        return {};
    return {textPosition(hit.start), hit.end - hit.start};
}

QString RichTextBox::fontName() const
{
    return m_fontName;
}

void RichTextBox::setFontName(const QString &name)
{
    QFont f = font();
    f.setFamily(Screen::fontFamily(name));
    setFont(f);
    m_fontName = name;
}

double RichTextBox::fontSize() const
{
    return font().pointSizeF();
}

Error RichTextBox::setFontSize(double points)
{
    // The largest size a font can be given, in points.
    constexpr double largest = 2160;
    if (!(points > 0 && points <= largest))
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("Font.Size"));
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
    return Error::none();
}

Error RichTextBox::setRightMargin(int twips)
{
    if (twips < 0)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("RightMargin"));
    m_rightMargin = twips;
    setWrapsAtEdge(twips == 0);
    return Error::none();
}

Error RichTextBox::LoadFile(const QString &path, int fileType)
{
    return LoadFile(path, fileType, QString());
}

Error RichTextBox::LoadFile(const QString &path, int fileType, const QString &encoding)
{
    if (fileType != RichTextFileType::Text)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("file type"));
    TextFileFormat chosen;
    if (!encoding.isEmpty() && !formatForEncoding(encoding, chosen))
        return Error::make(ErrorNumber::InvalidPropertyValue, encoding);
    const FileError error = openText(path, store(), m_format, encoding.isEmpty() ? nullptr : &chosen, opening());
    if (error.failed())
        return fileError(error);
    m_loadedEncoding = encoding;
    setNewLineEnd(m_format.lineEnd);
    storeReset();
    return Error::none();
}

TextOpening RichTextBox::opening()
{
    return {keptInFileFrom(), fileBlockBytes()};
}

// Bytes further on in the file that its format cannot read leave it to be
// decoded whole, as the program sees it: nothing was edited meanwhile, and
// the caret keeps its line.
bool RichTextBox::textCompleted()
{
    if (!store().file())
        return true;
    if (fileLineEnd(*store().file(), m_format.lineEnd)) {
        setNewLineEnd(m_format.lineEnd);
        return true;
    }
    TextFileFormat chosen;
    const bool named = formatForEncoding(m_loadedEncoding, chosen);
    TextOpening whole = opening();
    whole.keptInFileFrom = std::numeric_limits<qint64>::max();
    const qsizetype line = store().lineAt(cursorPosition());
    const QSignalBlocker quiet(this);
    if (openText(store().file()->path(), store(), m_format, named ? &chosen : nullptr, whole).failed())
        return true;
    setNewLineEnd(m_format.lineEnd);
    storeReset();
    setSelection(store().lineStart(std::min(line, store().lineCount() - 1)),
                 store().lineStart(std::min(line, store().lineCount() - 1)));
    return false;
}

Error RichTextBox::loadEdits(const QString &source, const TextFileFormat &sourceFormat,
                             const std::vector<TextStore::Stretch> &stretches, const TextFileFormat &format)
{
    const FileError error = openEdits(source, sourceFormat, stretches, store(), fileBlockBytes());
    if (error.failed())
        return fileError(error);
    m_format = format;
    setNewLineEnd(m_format.lineEnd);
    storeReset();
    return Error::none();
}

qint64 RichTextBox::keptInFileFrom()
{
    static const qint64 bytes = qEnvironmentVariableIsSet("QUILLORY_KEPT_IN_FILE_FROM")
                                    ? qgetenv("QUILLORY_KEPT_IN_FILE_FROM").toLongLong()
                                    : TextOpening::defaultKeptInFileFrom;
    return bytes;
}

qsizetype RichTextBox::fileBlockBytes()
{
    static const qsizetype bytes = qEnvironmentVariableIsSet("QUILLORY_FILE_BLOCK_BYTES")
                                       ? qgetenv("QUILLORY_FILE_BLOCK_BYTES").toLongLong()
                                       : qsizetype(1) << 16;
    return bytes;
}

void RichTextBox::loadText(QString &&text, const TextFileFormat &format)
{
    store().load(std::move(text));
    m_format = format;
    setNewLineEnd(m_format.lineEnd);
    storeReset();
}

Error RichTextBox::SaveFile(const QString &path, int fileType)
{
    return SaveFiles({path}, fileType).constFirst();
}

bool RichTextBox::setFileEncoding(const QString &encoding)
{
    TextFileFormat format = m_format;
    if (!formatForEncoding(encoding, format))
        return false;
    m_format = format;
    return true;
}

bool RichTextBox::fitsFileEncoding() const
{
    wholeText();
    bool fits = true;
    if (m_format.encoding == TextEncoding::Windows1252 || m_format.encoding == TextEncoding::Legacy) {
        store().read(0, store().length(),
                     [&](QStringView part, qsizetype) { fits = fits && canEncode(part, m_format); });
    }
    return fits;
}

QList<Error> RichTextBox::SaveFiles(const QStringList &paths, int fileType, bool stopAtFailure,
                                    SaveEncoding encoding)
{
    QList<Error> results(paths.size());
    if (fileType != RichTextFileType::Text) {
        results.fill(Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("file type")));
        return results;
    }
    wholeText();
    TextFileFormat format = m_format;
    if (encoding == SaveEncoding::Utf8) {
        format.encoding = TextEncoding::Utf8;
        format.byteOrderMark = false;
        format.legacyName.clear();
    } else if (!fitsFileEncoding()) {
        // Neither a character lost nor a file re-encoded unasked.
        results.fill(Error::make(ErrorNumber::InvalidPropertyValue,
                                 QStringLiteral("the text holds characters that the file's character set cannot hold")));
        return results;
    }

    const std::vector<FileError> written = saveText(store(), paths, format, stopAtFailure, fileBlockBytes());
    bool anySaved = false;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        results[i] = fileError(written[size_t(i)]);
        anySaved = anySaved || results[i].ok();
    }
    if (anySaved)
        m_format = format;
    return results;
}

intptr_t RichTextBox::windowMessage(unsigned message, uintptr_t wParam, intptr_t)
{
    const bool caret = wParam == uintptr_t(-1);
    switch (message) {
    case EM_GETLINECOUNT:
        wholeText();
        return store().lineCount();
    case EM_LINEINDEX: {
        const qsizetype line = caret ? store().lineAt(cursorPosition()) : qsizetype(wParam);
        if (line >= store().lineCount())
            wholeText();
        // Each line break before the line counts two in Text.
        return line >= 0 && line < store().lineCount() ? store().lineStart(line) + line : -1;
    }
    case EM_LINEFROMCHAR:
        return store().lineAt(caret ? selectionStart() : storePosition(qsizetype(wParam), BreakSide::Before));
    case EM_CANUNDO:
        return store().canUndo() ? 1 : 0;
    case EM_UNDO:
        return undo() ? 1 : 0;
    case EM_EMPTYUNDOBUFFER:
        clearUndo();
        return 0;
    case EM_CANREDO:
        return undoRedoes() ? 1 : 0;
    default:
        return 0;
    }
}

bool RichTextBox::event(QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return TextView::event(event);
    auto *key = static_cast<QKeyEvent *>(event);
    m_keyTakenEarly = false;
    // Undo, Redo, Delete and Select All are the window's menu commands where
    // it has them; the control does the same only where none does.
    if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) || key->matches(QKeySequence::Delete)
        || key->matches(QKeySequence::SelectAll)) {
        key->ignore();
        return true;
    }
    // A clipboard key reaches the control first and then the window's menu
    // shortcut, as on the system the program was made for: the control cuts,
    // copies or pastes at once, and the key goes on to the shortcut, which the
    // edit commands' flags keep from doing it twice.
    const bool cut = key->matches(QKeySequence::Cut);
    const bool copy = key->matches(QKeySequence::Copy);
    const bool paste = key->matches(QKeySequence::Paste);
    if (!cut && !copy && !paste)
        return TextView::event(event);
    int keyCode = virtualKeyCode(*key);
    if (keyCode != 0)
        emit KeyDown(keyCode, shiftState(key->modifiers()));
    if (keyCode != 0 && !isReadOnly()) {
        if (cut)
            this->cut();
        else if (copy)
            this->copy();
        else
            this->paste();
    }
    // When no shortcut takes the key, it comes back as a key press.
    m_keyTakenEarly = true;
    m_keyTakenEarlyCombination = key->keyCombination();
    key->ignore();
    return true;
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    if (std::exchange(m_keyTakenEarly, false) && event->keyCombination() == m_keyTakenEarlyCombination) {
        event->accept();
        return;
    }
    int keyCode = virtualKeyCode(*event);
    if (keyCode != 0) {
        emit KeyDown(keyCode, shiftState(event->modifiers()));
        if (keyCode == 0) {
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_Insert && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        emit overwriteModeChanged(overwriteMode());
        event->accept();
        return;
    }
    // Undo by key is the window's: its menu, or its key-down handler
    // sending EM_UNDO. The control's own would undo a second time.
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }
    TextView::keyPressEvent(event);
}

void RichTextBox::keyReleaseEvent(QKeyEvent *event)
{
    m_keyTakenEarly = false;
    int keyCode = virtualKeyCode(*event);
    if (keyCode != 0 && !event->isAutoRepeat()) {
        emit KeyUp(keyCode, shiftState(event->modifiers()));
        if (keyCode == 0) {
            event->accept();
            return;
        }
    }
    TextView::keyReleaseEvent(event);
}

void RichTextBox::focusOutEvent(QFocusEvent *event)
{
    TextView::focusOutEvent(event);
    // Opening a menu, by the mouse or by Alt, does not take the focus from
    // the document.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::MenuBarFocusReason)
        emit LostFocus();
}
