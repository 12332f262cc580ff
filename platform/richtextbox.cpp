#include "platform/richtextbox.h"

#include "platform/documenttext.h"
#include "platform/keys.h"
#include "platform/screen.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

#include <utility>

namespace {

// A line whose file ended it otherwise than with the file's line end keeps
// that line end in the format of the line after it: the document keeps a
// line's format with the line break before it, so a join drops it and its
// undo brings it back.
constexpr int lineEndBeforeProperty = QTextFormat::UserProperty + 1;

// The format for lines that a change starts: the file's line end.
QTextBlockFormat newLineFormat(const QTextCursor &cursor)
{
    QTextBlockFormat format = cursor.blockFormat();
    format.clearProperty(lineEndBeforeProperty);
    return format;
}

// Inserts text at the cursor; each CR LF, LF, CR or paragraph separator in it
// starts a new line that takes the file's line end.
void insertLines(QTextCursor &cursor, QStringView text)
{
    const QTextBlockFormat lineFormat = newLineFormat(cursor);
    qsizetype from = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (!isLineEndCharacter(text[at]))
            continue;
        if (at > from)
            cursor.insertText(text.sliced(from, at - from).toString());
        cursor.insertBlock(lineFormat);
        if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
            ++at;
        from = at + 1;
    }
    if (from < text.size())
        cursor.insertText(text.sliced(from).toString());
}

// The line end of the break after line: its own, or the file's where it has
// none of its own (or no line is given).
LineEnd lineEndAfter(const QTextBlock &line, LineEnd fileLineEnd)
{
    if (!line.isValid())
        return fileLineEnd;
    bool marked = false;
    const int own = line.next().blockFormat().property(lineEndBeforeProperty).toInt(&marked);
    return marked && own >= 0 && own < lineEndKinds ? LineEnd(own) : fileLineEnd;
}

// Each line break of the document is a paragraph separator; Text shows it
// as CR LF. Works in place, from the end, so the text is not copied again.
QString withCrLfBreaks(QString text, qsizetype breaks)
{
    if (breaks <= 0)
        return text;
    const qsizetype from = text.size();
    text.resize(from + breaks);
    char16_t *p = reinterpret_cast<char16_t *>(text.data());
    qsizetype src = from;
    qsizetype dst = text.size();
    while (src > 0 && dst > src) {
        const char16_t c = p[--src];
        if (c == QChar::ParagraphSeparator) {
            p[--dst] = u'\n';
            p[--dst] = u'\r';
        } else {
            p[--dst] = c;
        }
    }
    return text;
}

// An occurrence found in the document: document positions.
struct DocumentMatch
{
    qsizetype start = -1;
    qsizetype end = -1;
    // It takes in characters that lie between two pieces of the run, so it
    // may be none.
    bool betweenPieces = false;
    bool found() const { return start >= 0; }
};

// The occurrences that start in one run of the document: those wholly inside
// it, and those that go on past its end where the document goes on without a
// line break.
class RunSearch
{
public:
    RunSearch(const QTextDocument &document, const DocumentRun &run, const TextFinder &finder)
        : m_document(document)
        , m_run(run)
        , m_finder(finder)
    {
        // A surrogate pair split between two runs is one character: its low
        // half starts nothing here, and its high half belongs to what goes on
        // past the end. Only a conversion of case sees characters.
        const QStringView text = run.text;
        if (finder.convertsCase()) {
            m_lead = text.front().isLowSurrogate() && run.start > 0
                             && document.characterAt(int(run.start - 1)).isHighSurrogate()
                         ? 1
                         : 0;
            m_trail = text.back().isHighSurrogate() && run.after.isLowSurrogate() ? 1 : 0;
        }
    }

    // Down: the first occurrence; Up: the last. Those that go past the end
    // come after all that lie inside.
    DocumentMatch find(SearchDirection direction) const
    {
        if (direction == SearchDirection::Down) {
            const DocumentMatch inside = findInside(direction);
            return inside.found() ? inside : findPastEnd(direction);
        }
        const DocumentMatch pastEnd = findPastEnd(direction);
        return pastEnd.found() ? pastEnd : findInside(direction);
    }

private:
    DocumentMatch findInside(SearchDirection direction) const
    {
        const QStringView text = m_run.text.chopped(m_trail);
        const TextFinder::Hit hit = m_finder.find(text, m_lead, text.size(), direction);
        if (!hit.found())
            return {};
        return {m_run.documentPosition(hit.start), m_run.documentPosition(hit.end - 1) + 1,
                !m_run.isWhole(hit.start, hit.end)};
    }

    // Searches a copy of the run's end and of as much of the document after
    // it as an occurrence starting there can cover.
    DocumentMatch findPastEnd(SearchDirection direction) const
    {
        if (m_run.after == QChar::ParagraphSeparator)
            return {};
        const QStringView text = m_run.text;
        const qsizetype longest = m_finder.longestMatch();
        qsizetype tailStart = qMax(text.size() - longest, m_lead);
        if (tailStart > m_lead && text[tailStart].isLowSurrogate() && text[tailStart - 1].isHighSurrogate())
            --tailStart;
        QString seam = text.sliced(tailStart).toString();
        const qsizetype tail = seam.size();
        // One more than can be covered, so that a pair at the end is whole.
        const qsizetype wanted = tail + longest + 1;
        DocumentTextReader after(m_document, m_run.end);
        QStringView piece;
        while (seam.size() < wanted && after.next(piece))
            seam += piece.first(qMin(piece.size(), wanted - seam.size()));
        // Up takes this before the occurrences inside; one found here that
        // ends inside is the last of those anyway.
        const TextFinder::Hit hit = m_finder.find(seam, 0, tail, direction);
        if (!hit.found())
            return {};
        const qsizetype end = hit.end <= tail ? m_run.documentPosition(tailStart + hit.end - 1) + 1
                                              : m_run.end + (hit.end - tail);
        return {m_run.documentPosition(tailStart + hit.start), end,
                !m_run.isWhole(tailStart + hit.start, tailStart + qMin(hit.end, tail))};
    }

    const QTextDocument &m_document;
    const DocumentRun &m_run;
    const TextFinder &m_finder;
    qsizetype m_lead = 0;
    qsizetype m_trail = 0;
};

// Searches the document's storage from a document position on, run by run,
// without copying it. Runs start short, so that an occurrence near the start
// is found without walking far past it, and grow.
DocumentMatch findInDocument(const QTextDocument &document, const TextFinder &finder, qsizetype from,
                             SearchDirection direction)
{
    constexpr qsizetype shortest = 1 << 10;
    constexpr qsizetype longest = 1 << 16;
    const bool down = direction == SearchDirection::Down;
    // Up: an occurrence that starts at from may end after it.
    auto reader = std::make_unique<DocumentTextReader>(document, down ? from : from + 1);
    bool checking = false;
    DocumentRun run;
    for (qsizetype length = shortest; down ? reader->nextRun(run, length) : reader->previousRun(run, length);
         length = qMin(2 * length, longest)) {
        const DocumentMatch match = RunSearch(document, run, finder).find(direction);
        if (match.betweenPieces && !checking) {
            // No line break is made of what lies there, so something else
            // does: read again from this run on, with the pieces kept apart.
            reader = std::make_unique<DocumentTextReader>(document, down ? run.start : run.end);
            reader->checkBetweenPieces();
            checking = true;
            continue;
        }
        if (match.found())
            return match;
    }
    return {};
}

} // namespace

RichTextBox::RichTextBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_fontName = font().family();
    applyHideSelection();
    connect(this, &QPlainTextEdit::textChanged, this, &RichTextBox::Change);
    connect(document(), &QTextDocument::contentsChange, this, &RichTextBox::onContentsChange);
}

QString RichTextBox::Text() const
{
    QString text(textLength(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    readDocument([&](QStringView run) { out = std::copy(run.utf16(), run.utf16() + run.size(), out); },
                 [&](const QTextBlock &) {
                     *out++ = u'\r';
                     *out++ = u'\n';
                 });
    return text;
}

qsizetype RichTextBox::textLength() const
{
    const QTextDocument *doc = document();
    return qsizetype(doc->characterCount()) - 1 + (doc->blockCount() - 1);
}

qsizetype RichTextBox::SelStart() const
{
    return textPosition(textCursor().selectionStart());
}

Error RichTextBox::setSelStart(qsizetype start)
{
    if (start < 0)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("SelStart"));
    QTextCursor cursor = textCursor();
    cursor.setPosition(documentPosition(start, BreakSide::Before));
    setTextCursor(cursor);
    return Error::none();
}

qsizetype RichTextBox::SelLength() const
{
    const QTextCursor cursor = textCursor();
    return textPosition(cursor.selectionEnd()) - textPosition(cursor.selectionStart());
}

Error RichTextBox::setSelLength(qsizetype length)
{
    if (length < 0)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("SelLength"));
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    cursor.setPosition(start);
    cursor.setPosition(documentPosition(textPosition(start) + length, BreakSide::After), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    return Error::none();
}

QString RichTextBox::SelText() const
{
    const QTextCursor cursor = textCursor();
    const QTextDocument *doc = document();
    const int breaks = doc->findBlock(cursor.selectionEnd()).blockNumber()
                       - doc->findBlock(cursor.selectionStart()).blockNumber();
    return withCrLfBreaks(cursor.selectedText(), breaks);
}

void RichTextBox::setSelText(const QString &text)
{
    QTextCursor cursor = textCursor();
    // One step of its own for undo, not merged into the typing before it.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertLines(cursor, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

TextMatch RichTextBox::findText(const QString &what, qsizetype from, SearchDirection direction, TextCase textCase) const
{
    const bool down = direction == SearchDirection::Down;
    if (what.isEmpty() || (!down && from < 0))
        return {};
    from = qBound(qsizetype(0), from, textLength());
    const TextFinder finder(what, textCase);
    if (finder.needsLineBreaks()) {
        // The document stores no CR LF to compare with.
        const QString text = Text();
        const TextFinder::Hit hit = down ? finder.find(text, from, text.size(), direction)
                                         : finder.find(text, 0, from + 1, direction);
        return hit.found() ? TextMatch {hit.start, hit.end - hit.start} : TextMatch {};
    }
    // Between a CR and its LF is the line break, where no such what starts.
    const DocumentMatch match = findInDocument(*document(), finder, documentPosition(from, BreakSide::Before), direction);
    if (!match.found())
        return {};
    return {textPosition(int(match.start)), match.end - match.start};
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
    setLineWrapMode(twips == 0 ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    return Error::none();
}

void RichTextBox::setHideSelection(bool hide)
{
    m_hideSelection = hide;
    applyHideSelection();
}

void RichTextBox::applyHideSelection()
{
    QPalette p = palette();
    const QPalette active = p;
    if (m_hideSelection) {
        p.setBrush(QPalette::Inactive, QPalette::Highlight, Qt::transparent);
        p.setBrush(QPalette::Inactive, QPalette::HighlightedText, active.brush(QPalette::Inactive, QPalette::Text));
    } else {
        p.setBrush(QPalette::Inactive, QPalette::Highlight, active.brush(QPalette::Active, QPalette::Highlight));
        p.setBrush(QPalette::Inactive, QPalette::HighlightedText, active.brush(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(p);
}

Error RichTextBox::LoadFile(const QString &path, int fileType)
{
    if (fileType != RichTextFileType::Text)
        return Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("file type"));
    DecodedTextFile decoded;
    if (const Error error = readTextFile(path, decoded); error.failed())
        return error;

    m_loading = true;
    setPlainText(decoded.text);
    decoded.text = QString();
    QTextDocument *doc = document();
    // Marking the lines is not a change that can be undone.
    doc->setUndoRedoEnabled(false);
    for (const auto &[line, lineEnd] : decoded.otherLineEnds) {
        QTextCursor next(doc->findBlockByNumber(int(line) + 1));
        QTextBlockFormat format = next.blockFormat();
        format.setProperty(lineEndBeforeProperty, int(lineEnd));
        next.setBlockFormat(format);
    }
    doc->setUndoRedoEnabled(true);
    m_loading = false;
    m_hasOwnLineEnds = !decoded.otherLineEnds.empty();
    m_format = decoded.format;
    m_lastWasUndo = false;
    return Error::none();
}

Error RichTextBox::SaveFile(const QString &path, int fileType)
{
    return SaveFiles({path}, fileType).constFirst();
}

QList<Error> RichTextBox::SaveFiles(const QStringList &paths, int fileType, bool stopAtFailure)
{
    QList<Error> results(paths.size());
    if (fileType != RichTextFileType::Text) {
        results.fill(Error::make(ErrorNumber::InvalidPropertyValue, QStringLiteral("file type")));
        return results;
    }
    TextFileFormat format = m_format;
    // A character the file's 8-bit code cannot hold makes the file UTF-8
    // rather than be lost.
    if (format.encoding == TextEncoding::Windows1252) {
        bool encodable = true;
        readDocument([&](QStringView run) { encodable = encodable && canEncode(run, format.encoding); },
                     [](const QTextBlock &) {});
        if (!encodable) {
            format.encoding = TextEncoding::Utf8;
            format.byteOrderMark = false;
        }
    }

    const auto writeText = [&](EncodedTextWriter &out) {
        if (format.byteOrderMark)
            out.writeByteOrderMark();
        readDocument([&](QStringView run) { out.write(run); },
                     [&](const QTextBlock &line) { out.writeLineEnd(lineEndAfter(line, format.lineEnd)); });
        out.flush();
    };
    std::vector<std::unique_ptr<SafeFileWriter>> files;
    bool inPlace = false;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        files.push_back(std::make_unique<SafeFileWriter>());
        results[i] = files.back()->open(paths[i]);
        inPlace = inPlace || (results[i].ok() && files.back()->writesInPlace());
    }
    // A file written in place must know the size of its new text before
    // its first byte changes; the text is encoded once more to count it.
    if (inPlace) {
        EncodedTextWriter counter(format.encoding);
        writeText(counter);
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (results[i].ok() && files[size_t(i)]->writesInPlace())
                results[i] = files[size_t(i)]->reserve(counter.size());
        }
    }
    std::vector<SafeFileWriter *> writing;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (results[i].ok())
            writing.push_back(files[size_t(i)].get());
    }
    EncodedTextWriter out(writing, format.encoding);
    writeText(out);

    bool anySaved = false;
    bool stopped = false;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (stopped) {
            // Left unfinished, the file stays as it was.
            files[size_t(i)].reset();
            results[i] = Error::make(ErrorNumber::PathFileAccessError, paths[i] + QStringLiteral(" (not written)"));
            continue;
        }
        if (results[i].ok())
            results[i] = files[size_t(i)]->commit();
        anySaved = anySaved || results[i].ok();
        stopped = stopAtFailure && results[i].failed();
    }
    if (anySaved)
        m_format = format;
    return results;
}

template <typename OnText, typename OnBreak>
void RichTextBox::readDocument(OnText &&onText, OnBreak &&onBreak) const
{
    DocumentTextReader reader(*document());
    // Lines are followed only where some line has its own line end; the
    // others all take the document's.
    QTextBlock line = m_hasOwnLineEnds ? document()->begin() : QTextBlock();
    QStringView piece;
    while (reader.next(piece)) {
        // A loaded file is stored as lines and breaks in pieces of their own.
        if (piece.size() == 1 && piece.front() == QChar::ParagraphSeparator) {
            onBreak(line);
            if (line.isValid())
                line = line.next();
            continue;
        }
        for (qsizetype at = piece.indexOf(QChar::ParagraphSeparator); at >= 0; at = piece.indexOf(QChar::ParagraphSeparator)) {
            if (at > 0)
                onText(piece.first(at));
            onBreak(line);
            if (line.isValid())
                line = line.next();
            piece = piece.sliced(at + 1);
        }
        if (!piece.isEmpty())
            onText(piece);
    }
}

intptr_t RichTextBox::windowMessage(unsigned message, uintptr_t, intptr_t)
{
    switch (message) {
    case EM_CANUNDO:
        return canUndo() ? 1 : 0;
    case EM_UNDO:
        return undoOrRedo() ? 1 : 0;
    case EM_EMPTYUNDOBUFFER:
        document()->clearUndoRedoStacks();
        m_lastWasUndo = false;
        return 0;
    default:
        return 0;
    }
}

bool RichTextBox::canUndo() const
{
    return m_lastWasUndo ? document()->isRedoAvailable() : document()->isUndoAvailable();
}

bool RichTextBox::undoOrRedo()
{
    if (!canUndo())
        return false;
    m_undoing = true;
    if (m_lastWasUndo)
        redo();
    else
        undo();
    m_undoing = false;
    m_lastWasUndo = !m_lastWasUndo;
    return true;
}

QMimeData *RichTextBox::createMimeDataFromSelection() const
{
    // The text exactly as selected: Qt's own copy would turn no-break spaces
    // into plain ones.
    auto *data = new QMimeData;
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    data->setText(text);
    return data;
}

void RichTextBox::insertFromMimeData(const QMimeData *source)
{
    if (!source || !source->hasText())
        return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertLines(cursor, source->text());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

bool RichTextBox::event(QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return QPlainTextEdit::event(event);
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
        return QPlainTextEdit::event(event);
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
    if (event->matches(QKeySequence::InsertParagraphSeparator)) {
        // A new line, not a copy of the line it splits with that line's end.
        QTextCursor cursor = textCursor();
        cursor.insertBlock(newLineFormat(cursor));
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
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
    QPlainTextEdit::keyPressEvent(event);
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
    QPlainTextEdit::keyReleaseEvent(event);
}

void RichTextBox::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    // Opening a menu does not take the focus from the document.
    if (event->reason() != Qt::PopupFocusReason)
        emit LostFocus();
}

qsizetype RichTextBox::textPosition(int documentPosition) const
{
    return qsizetype(documentPosition) + document()->findBlock(documentPosition).blockNumber();
}

int RichTextBox::documentPosition(qsizetype textPosition, BreakSide side) const
{
    const QTextDocument *doc = document();
    textPosition = qBound(qsizetype(0), textPosition, textLength());
    // The line that holds the position: the last one whose start in Text
    // (its start in the document plus one for each CR LF before it) is not
    // beyond it.
    int low = 0;
    int high = doc->blockCount() - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (doc->findBlockByNumber(middle).position() + qsizetype(middle) <= textPosition)
            low = middle;
        else
            high = middle - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const qsizetype offset = textPosition - (block.position() + qsizetype(low));
    const int lineLength = block.length() - 1;
    if (offset <= lineLength)
        return block.position() + int(offset);
    // Between the CR and the LF of the line's break.
    return block.position() + lineLength + (side == BreakSide::After ? 1 : 0);
}

void RichTextBox::onContentsChange(int, int, int)
{
    if (m_loading)
        return;
    if (!m_undoing)
        m_lastWasUndo = false;
}
