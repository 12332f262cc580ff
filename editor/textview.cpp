#include "editor/textview.h"

#include "editor/textlayout.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

void installTextViewAccessibility();

namespace {

// Blank space around the text, as Qt's plain text editor keeps.
constexpr int documentMargin = 4;
// Around the caret, the part of a long line that word and character moves
// and input methods look at.
constexpr qsizetype lookAround = 256;

std::function<void(QAccessibleEvent *)> &accessibilityProbe()
{
    static std::function<void(QAccessibleEvent *)> probe;
    return probe;
}

} // namespace

void TextView::setAccessibilityProbe(std::function<void(QAccessibleEvent *)> probe)
{
    accessibilityProbe() = std::move(probe);
}

bool TextView::accessibilityWanted()
{
    return QAccessible::isActive() || accessibilityProbe();
}

void TextView::sendAccessible(QAccessibleEvent &event)
{
    if (accessibilityProbe())
        accessibilityProbe()(&event);
    QAccessible::updateAccessibility(&event);
}

TextView::TextView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_layout(std::make_unique<TextLayoutCache>(m_store))
{
    installTextViewAccessibility();
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_layout->setFont(shownFont());
    m_layout->setTabStopDistance(tabStopDistance());
    updateWrapWidth();
    updateScrollBars();
}

TextView::~TextView() = default;

// ---- Text and selection -------------------------------------------------

void TextView::storeReset()
{
    m_columnLineStart = -1;
    m_layout->reset();
    m_preedit.clear();
    m_top = RowPos();
    m_preferredX = -1;
    m_lastWasUndo = false;
    horizontalScrollBar()->setValue(0);
    const bool hadSelection = hasSelection();
    const bool moved = m_position != 0;
    m_anchor = m_position = 0;
    if (m_growTimer)
        killTimer(std::exchange(m_growTimer, 0));
    if (m_store.growing())
        m_growTimer = startTimer(30);
    updateScrollBars();
    viewport()->update();
    const qsizetype oldLength = std::exchange(m_accessibleLength, m_store.length());
    // The old text is gone: spaces stand for it, as long as it was. A text
    // kept in its file is too big to hand over whole (or to stand for with
    // spaces): a reader asks for what it needs.
    if (accessibilityWanted() && !m_store.file() && oldLength <= qsizetype(1) << 26) {
        QAccessibleTextUpdateEvent event(this, 0, QString(oldLength, QLatin1Char(' ')),
                                         m_store.text(0, m_store.length()));
        sendAccessible(event);
    }
    if (moved)
        emit cursorPositionChanged();
    if (hadSelection)
        emit selectionChanged();
    emit textChanged();
}

bool TextView::takeGrowth()
{
    if (!m_store.growing())
        return true;
    const qsizetype end = m_store.length();
    m_layout->aboutToReplace(end, 0);
    const qsizetype added = m_store.grow();
    m_layout->replaced(end, added);
    m_accessibleLength = m_store.length();
    updateScrollBars();
    setTop(m_top);
    if (added > 0)
        viewport()->update();
    if (m_store.growing()) {
        emit indexing(int(m_store.grownShare() * 100));
        return true;
    }
    if (m_growTimer)
        killTimer(std::exchange(m_growTimer, 0));
    const bool kept = textCompleted();
    emit indexing(100);
    return kept;
}

bool TextView::completeText()
{
    return !m_store.growing() || waitForIndex(-1);
}

bool TextView::waitForIndex(qsizetype breaks)
{
    const FileText &file = *m_store.file();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    while ((breaks < 0 || file.indexed().breaks < breaks) && !file.waitForIndex(100))
        emit indexing(int(file.indexedBytes() * 100 / std::max<qint64>(1, file.bytes())));
    const bool kept = takeGrowth();
    QGuiApplication::restoreOverrideCursor();
    return kept;
}

bool TextView::goToLine(qsizetype line, int rowsAbove)
{
    // Line n starts after the text's nth break.
    if (m_store.growing() && line >= m_store.lineCount())
        (void)waitForIndex(line);
    if (line < 0 || line >= m_store.lineCount())
        return false;
    const qsizetype start = m_store.lineStart(line);
    m_store.breakUndoJoin();
    m_preferredX = -1;
    moveCaret(start, start);
    setTop(stepRows({line, 0}, -qint64(std::max(0, rowsAbove))));
    ensureCursorVisible();
    return true;
}

void TextView::growToLine(qsizetype line)
{
    if (!m_store.growing() || line < m_store.lineCount())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_store.waitForLines(line + 1);
    (void)takeGrowth();
    QGuiApplication::restoreOverrideCursor();
}

qint64 TextView::rowsToCome() const
{
    const double share = m_store.grownShare();
    if (share >= 1)
        return 0;
    return qint64(double(m_layout->totalRows()) * (1 - share) / std::max(share, 1e-6));
}

qsizetype TextView::selectionStart() const
{
    return std::min(m_anchor, m_position);
}

qsizetype TextView::selectionEnd() const
{
    return std::max(m_anchor, m_position);
}

void TextView::setSelection(qsizetype anchor, qsizetype position)
{
    if (std::max(anchor, position) >= m_store.length())
        (void)completeText();
    const qsizetype length = m_store.length();
    m_store.breakUndoJoin();
    m_preferredX = -1;
    moveCaret(std::clamp<qsizetype>(anchor, 0, length), std::clamp<qsizetype>(position, 0, length));
    ensureCursorVisible();
}

QString TextView::selectedText() const
{
    return m_store.text(selectionStart(), selectionEnd() - selectionStart());
}

void TextView::moveCaret(qsizetype anchor, qsizetype position)
{
    const bool moved = position != m_position;
    const bool selectionChanges = (anchor != m_anchor || moved) && (hasSelection() || anchor != position);
    m_anchor = anchor;
    m_position = position;
    if (moved || selectionChanges) {
        restartBlink();
        viewport()->update();
    }
    if (moved) {
        notifyCursor();
        if (hasFocus())
            updateMicroFocus();
        emit cursorPositionChanged();
    }
    if (selectionChanges) {
        if (accessibilityWanted()) {
            QAccessibleTextSelectionEvent event(this, int(selectionStart()), int(selectionEnd()));
            event.setCursorPosition(int(m_position));
            sendAccessible(event);
        }
        emit selectionChanged();
    }
}

void TextView::notifyCursor()
{
    if (!accessibilityWanted())
        return;
    QAccessibleTextCursorEvent event(this, int(m_position));
    sendAccessible(event);
}

qsizetype TextView::edit(qsizetype position, qsizetype removed, QStringView text, TextStore::EditKind kind)
{
    // A text replaced meanwhile has other positions: the edit is not made.
    if (!completeText())
        return 0;
    const qsizetype before = m_store.length();
    position = std::clamp<qsizetype>(position, 0, before);
    removed = std::clamp<qsizetype>(removed, 0, before - position);
    QString removedText;
    if (accessibilityWanted() && removed > 0)
        removedText = m_store.text(position, removed);
    if (!m_preedit.isEmpty())
        m_layout->setPreedit(-1, QString(), 0);
    // The column counted stays true up to where the text changes.
    if (m_columnLineStart >= 0 && position < m_columnPosition) {
        if (position >= m_columnLineStart) {
            m_column -= charactersBetween(position, m_columnPosition);
            m_columnPosition = position;
        } else {
            m_columnLineStart = -1;
        }
    }
    m_layout->aboutToReplace(position, removed);
    m_store.replace(position, removed, text, m_newLineEnd, kind);
    const qsizetype inserted = m_store.length() - before + removed;
    m_layout->replaced(position, inserted);
    m_accessibleLength = m_store.length();
    m_lastWasUndo = false;
    if (accessibilityWanted())
        notifyEdit(position, removedText, m_store.text(position, inserted));
    return inserted;
}

void TextView::notifyEdit(qsizetype position, const QString &removedText, const QString &insertedText)
{
    if (!removedText.isEmpty() && !insertedText.isEmpty()) {
        QAccessibleTextUpdateEvent event(this, int(position), removedText, insertedText);
        sendAccessible(event);
    } else if (!removedText.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, int(position), removedText);
        sendAccessible(event);
    } else if (!insertedText.isEmpty()) {
        QAccessibleTextInsertEvent event(this, int(position), insertedText);
        sendAccessible(event);
    }
}

void TextView::finishEdit(qsizetype anchor, qsizetype position)
{
    // The caret's old place may be beyond the new end: it moves then, and a
    // reader hears so.
    anchor = std::min(anchor, m_store.length());
    position = std::min(position, m_store.length());
    m_preferredX = -1;
    moveCaret(anchor, position);
    if (!m_preedit.isEmpty())
        m_layout->setPreedit(m_position, m_preedit, m_preeditCursor);
    updateScrollBars();
    setTop(m_top);
    ensureCursorVisible();
    viewport()->update();
    emit textChanged();
}

void TextView::replaceSelection(QStringView text, TextStore::EditKind kind)
{
    const qsizetype start = selectionStart();
    const qsizetype removed = selectionEnd() - start;
    if (removed == 0 && text.isEmpty())
        return;
    const qsizetype inserted = edit(start, removed, text, kind);
    finishEdit(start + inserted, start + inserted);
}

void TextView::replaceEach(const std::vector<TextStore::Replacement> &replacements)
{
    if (replacements.empty() || !completeText())
        return;
    const qsizetype spanStart = replacements.front().position;
    const qsizetype spanRemoved = replacements.back().position + replacements.back().removed - spanStart;
    const qsizetype before = m_store.length();
    // A place inside a replaced stretch goes to the end of its replacement.
    const auto moved = [&replacements](qsizetype at) {
        qsizetype shift = 0;
        for (const TextStore::Replacement &r : replacements) {
            if (r.position >= at)
                break;
            if (r.position + r.removed > at)
                return r.position + shift + r.text.size();
            shift += r.text.size() - r.removed;
        }
        return at + shift;
    };
    const qsizetype anchor = moved(m_anchor);
    const qsizetype position = moved(m_position);
    // A screen reader is told the text of the stretch replaced, short of a
    // big file's worth.
    constexpr qsizetype toldAtMost = 1 << 20;
    const bool tell = accessibilityWanted() && spanRemoved <= toldAtMost;
    const QString removedText = tell ? m_store.text(spanStart, spanRemoved) : QString();
    if (!m_preedit.isEmpty())
        m_layout->setPreedit(-1, QString(), 0);
    m_columnLineStart = -1;
    m_layout->aboutToReplace(spanStart, spanRemoved);
    m_store.replaceEach(replacements, m_newLineEnd);
    const qsizetype inserted = m_store.length() - before + spanRemoved;
    m_layout->replaced(spanStart, inserted);
    m_accessibleLength = m_store.length();
    m_lastWasUndo = false;
    if (tell && inserted <= toldAtMost)
        notifyEdit(spanStart, removedText, m_store.text(spanStart, inserted));
    finishEdit(anchor, position);
}

bool TextView::undo()
{
    qsizetype position = 0;
    qsizetype length = 0;
    const bool wasUndo = m_lastWasUndo;
    QString removedText;
    if (accessibilityWanted() && m_store.undoTakes(&position, &length))
        removedText = m_store.text(position, length);
    if (!m_store.canUndo() || !m_store.undo(&position, &length))
        return false;
    m_columnLineStart = -1;
    m_accessibleLength = m_store.length();
    m_layout->changedFrom(m_store.lineAt(position), m_store.lineAt(position + length));
    if (accessibilityWanted())
        notifyEdit(position, removedText, m_store.text(position, length));
    // Known before the change is told, so that its listeners see it.
    m_lastWasUndo = !wasUndo;
    finishEdit(position + length, position + length);
    return true;
}

void TextView::clearUndo()
{
    m_store.clearUndo();
    m_lastWasUndo = false;
}

void TextView::setWrapsAtEdge(bool wrap)
{
    if (wrap == m_wrapsAtEdge)
        return;
    relayout([this, wrap] {
        m_wrapsAtEdge = wrap;
        horizontalScrollBar()->setValue(0);
        setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
        updateWrapWidth();
    });
}

void TextView::setOverwriteMode(bool overwrite)
{
    m_overwrite = overwrite;
    viewport()->update();
}

void TextView::setHideSelection(bool hide)
{
    m_hideSelection = hide;
    viewport()->update();
}

void TextView::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
}

void TextView::setTabStopColumns(int columns)
{
    relayout([this, columns] {
        m_tabStopColumns = columns;
        m_layout->setTabStopDistance(tabStopDistance());
    });
}

qreal TextView::tabStopDistance() const
{
    // A column of a fixed-pitch font is exactly its characters' advance.
    const QFont shown = shownFont();
    const QFontMetricsF metrics(shown);
    const qreal column = QFontInfo(shown).fixedPitch() ? metrics.horizontalAdvance(QLatin1Char('x'))
                                                       : metrics.averageCharWidth();
    return m_tabStopColumns * column;
}

QFont TextView::shownFont() const
{
    QFont shown = font();
    if (m_zoom == 100)
        return shown;
    if (shown.pointSizeF() > 0)
        shown.setPointSizeF(shown.pointSizeF() * m_zoom / 100);
    else
        shown.setPixelSize(std::max(1, shown.pixelSize() * m_zoom / 100));
    return shown;
}

namespace {

const int zoomSteps[] = {10, 25, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500};

} // namespace

void TextView::setZoom(int percent)
{
    percent = std::clamp(percent, minZoom, maxZoom);
    if (percent == m_zoom)
        return;
    relayout([this, percent] {
        m_zoom = percent;
        m_layout->setFont(shownFont());
        m_layout->setTabStopDistance(tabStopDistance());
    });
    if (hasFocus())
        updateMicroFocus();
    emit zoomChanged(m_zoom);
}

void TextView::zoomIn()
{
    const int *next = std::upper_bound(std::begin(zoomSteps), std::end(zoomSteps), m_zoom);
    setZoom(next == std::end(zoomSteps) ? maxZoom : *next);
}

void TextView::zoomOut()
{
    const int *next = std::lower_bound(std::begin(zoomSteps), std::end(zoomSteps), m_zoom);
    setZoom(next == std::begin(zoomSteps) ? minZoom : *(next - 1));
}

qsizetype TextView::charactersBetween(qsizetype from, qsizetype to) const
{
    if (to <= from)
        return 0;
    // Each low half that follows a high one is the second half of one character.
    qsizetype seconds = 0;
    bool afterHigh = from > 0 && m_store.at(from - 1).isHighSurrogate();
    m_store.read(from, to - from, [&](QStringView part, qsizetype) {
        for (const QChar c : part) {
            seconds += afterHigh && c.isLowSurrogate();
            afterHigh = c.isHighSurrogate();
        }
    });
    return to - from - seconds;
}

qsizetype TextView::cursorColumn() const
{
    const qsizetype start = m_store.lineStart(m_store.lineAt(m_position));
    const qsizetype fromCounted = m_position - m_columnPosition;
    if (m_columnLineStart != start || m_position - start < std::abs(fromCounted))
        m_column = charactersBetween(start, m_position);
    else if (fromCounted >= 0)
        m_column += charactersBetween(m_columnPosition, m_position);
    else
        m_column -= charactersBetween(m_position, m_columnPosition);
    m_columnLineStart = start;
    m_columnPosition = m_position;
    return m_column;
}

void TextView::relayout(const std::function<void()> &change)
{
    // The text at the top, and a caret in sight, stay so across the change.
    m_top.line = std::min(m_top.line, m_store.lineCount() - 1);
    const qsizetype topAt = m_store.lineStart(m_top.line) + m_layout->rowRange(m_top.line, m_top.row).first;
    const qint64 caretRows = rowsFromTop(rowOfPosition(m_position));
    const bool caretInSight = caretRows >= 0 && caretRows < pageRows();
    change();
    if (!m_preedit.isEmpty())
        m_layout->setPreedit(m_position, m_preedit, m_preeditCursor);
    m_top = rowOfPosition(topAt);
    updateScrollBars();
    setTop(m_top);
    if (caretInSight)
        ensureCursorVisible();
    viewport()->update();
}

// ---- Clipboard ----------------------------------------------------------

void TextView::cut()
{
    if (!hasSelection() || m_readOnly)
        return;
    copy();
    replaceSelection(QStringView());
}

void TextView::copy()
{
    if (!hasSelection())
        return;
    QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection());
}

void TextView::paste()
{
    if (m_readOnly)
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (data && canInsertFromMimeData(data))
        insertFromMimeData(data);
}

void TextView::selectAll()
{
    (void)completeText();
    m_store.breakUndoJoin();
    moveCaret(0, m_store.length());
    setSelectionClipboard();
}

void TextView::setSelectionClipboard()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

QMimeData *TextView::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    // Breaks are stored as LF already.
    data->setText(selectedText());
    return data;
}

bool TextView::canInsertFromMimeData(const QMimeData *source) const
{
    return source && source->hasText();
}

void TextView::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        replaceSelection(source->text());
}

// ---- Geometry -----------------------------------------------------------

int TextView::pageRows() const
{
    return std::max(1, int(viewport()->height() / m_layout->lineHeight()));
}

qreal TextView::leftX() const
{
    return documentMargin - (m_wrapsAtEdge ? 0 : horizontalScrollBar()->value());
}

qreal TextView::topY() const
{
    return (m_top.line == 0 && m_top.row == 0) ? documentMargin : 0;
}

TextView::RowPos TextView::rowOfPosition(qsizetype position) const
{
    const qsizetype line = m_store.lineAt(position);
    return {line, m_layout->rowOf(line, position - m_store.lineStart(line))};
}

TextView::RowPos TextView::stepRows(RowPos p, qint64 rows) const
{
    const qsizetype lines = m_store.lineCount();
    while (rows > 0) {
        const int count = m_layout->rowCount(p.line);
        if (p.row + rows < count) {
            p.row += int(rows);
            break;
        }
        if (p.line + 1 >= lines) {
            p.row = count - 1;
            break;
        }
        rows -= count - p.row;
        ++p.line;
        p.row = 0;
    }
    while (rows < 0) {
        if (p.row + rows >= 0) {
            p.row += int(rows);
            break;
        }
        if (p.line == 0) {
            p.row = 0;
            break;
        }
        rows += p.row + 1;
        --p.line;
        p.row = m_layout->rowCount(p.line) - 1;
    }
    return p;
}

TextView::RowPos TextView::lastTop() const
{
    const qsizetype last = m_store.lineCount() - 1;
    if (!m_wrapsAtEdge)
        return {std::max<qsizetype>(0, last + 1 - pageRows()), 0};
    return stepRows({last, m_layout->rowCount(last) - 1}, -(pageRows() - 1));
}

qint64 TextView::rowsFromTop(RowPos p) const
{
    const qint64 far = qint64(pageRows()) + 2;
    if (p.line < m_top.line || (p.line == m_top.line && p.row < m_top.row)) {
        if (m_top.line - p.line > far)
            return -far - 1;
        qint64 rows = m_top.row - p.row;
        for (qsizetype l = p.line; l < m_top.line; ++l)
            rows += m_layout->rowCount(l);
        return -rows;
    }
    if (p.line - m_top.line > far)
        return far + 1;
    qint64 rows = p.row - m_top.row;
    for (qsizetype l = m_top.line; l < p.line; ++l)
        rows += m_layout->rowCount(l);
    return rows;
}

void TextView::setTop(RowPos top)
{
    const RowPos last = lastTop();
    if (top.line > last.line || (top.line == last.line && top.row > last.row))
        top = last;
    top.line = std::clamp<qsizetype>(top.line, 0, m_store.lineCount() - 1);
    top.row = std::clamp(top.row, 0, m_layout->rowCount(top.line) - 1);
    const bool changed = top.line != m_top.line || top.row != m_top.row;
    m_top = top;
    qint64 value = m_top.line;
    if (m_wrapsAtEdge) {
        // The scroll bar counts estimated rows; the top line's own rows are
        // scaled to its estimate.
        const int rows = m_layout->rowCount(m_top.line);
        const int estimate = m_layout->estimatedRows(m_top.line);
        value = m_layout->rowsBefore(m_top.line) + qint64(m_top.row) * estimate / std::max(1, rows);
    }
    m_syncingScrollBars = true;
    verticalScrollBar()->setValue(int(std::min<qint64>(value, verticalScrollBar()->maximum())));
    m_syncingScrollBars = false;
    if (changed) {
        viewport()->update();
        if (!m_preedit.isEmpty())
            updateMicroFocus();
    }
}

void TextView::updateScrollBars()
{
    m_syncingScrollBars = true;
    const int page = pageRows();
    const qint64 rows = m_layout->totalRows() + rowsToCome();
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(rows - page, 0, INT_MAX)));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
    if (m_wrapsAtEdge) {
        horizontalScrollBar()->setRange(0, 0);
    } else {
        const qreal content = m_layout->widestLineEstimate() + 2 * documentMargin + 1;
        const int width = viewport()->width();
        horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(content)) - width));
        horizontalScrollBar()->setPageStep(width);
        horizontalScrollBar()->setSingleStep(std::max(1, int(m_layout->metrics().averageCharWidth() * 2)));
    }
    m_syncingScrollBars = false;
}

void TextView::updateWrapWidth()
{
    m_layout->setWrapWidth(m_wrapsAtEdge ? std::max(1, viewport()->width() - 2 * documentMargin) : 0);
}

void TextView::settleVisibleRows()
{
    qint64 remaining = pageRows() + 1;
    RowPos p = m_top;
    const qsizetype lines = m_store.lineCount();
    while (remaining > 0 && p.line < lines) {
        m_layout->settleRowRange(p.line, p.row, int(std::min<qint64>(p.row + remaining, INT_MAX)));
        remaining -= m_layout->rowCount(p.line) - p.row;
        ++p.line;
        p.row = 0;
    }
}

void TextView::ensureCursorVisible()
{
    ensurePositionVisible(m_position);
}

void TextView::ensurePositionVisible(qsizetype position)
{
    const qsizetype caretLine = m_store.lineAt(position);
    m_layout->settleRows(caretLine, position - m_store.lineStart(caretLine), pageRows());
    // Laying out what comes into sight can move rows: look again until the
    // caret stays in sight.
    for (int pass = 0; pass < 3; ++pass) {
        const RowPos caret = rowOfPosition(position);
        const qint64 fromTop = rowsFromTop(caret);
        // Rows wholly in sight, below the margin at the top of the text.
        const int inSight = std::max(1, int((viewport()->height() - topY()) / m_layout->lineHeight()));
        if (fromTop < 0) {
            setTop(caret);
        } else if (fromTop >= inSight) {
            RowPos top = stepRows(caret, -(pageRows() - 1));
            if (top.line == 0 && top.row == 0)
                top = stepRows(top, 1);
            setTop(top);
        } else {
            break;
        }
        settleVisibleRows();
    }
    if (!m_wrapsAtEdge) {
        const qsizetype line = m_store.lineAt(position);
        const qreal x = m_layout->xOf(line, position - m_store.lineStart(line));
        QScrollBar *bar = horizontalScrollBar();
        const int visible = viewport()->width() - 2 * documentMargin;
        if (x > bar->maximum() + visible) {
            // Wider than the estimate of the widest line.
            updateScrollBars();
        }
        if (x < bar->value())
            bar->setValue(int(std::floor(x)));
        else if (x + 1 > bar->value() + visible)
            bar->setValue(int(std::ceil(x + 1 - visible)));
    }
}

QRect TextView::cursorRect() const
{
    return caretRect(m_position);
}

QRect TextView::caretRect(qsizetype position) const
{
    const RowPos caret = rowOfPosition(position);
    const qint64 fromTop = rowsFromTop(caret);
    const qreal lineHeight = m_layout->lineHeight();
    const qsizetype line = caret.line;
    const qreal x = leftX() + m_layout->xOf(line, position - m_store.lineStart(line));
    const qreal y = topY() + qreal(fromTop) * lineHeight;
    return QRectF(x, y, 1, lineHeight).toAlignedRect();
}

QRect TextView::positionRect(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, m_store.length());
    QRect rect = caretRect(position);
    if (position < m_store.length() && m_store.at(position) != QChar(TextStore::lineBreak)) {
        const QRect after = caretRect(position + 1);
        if (after.top() == rect.top() && after.left() > rect.left())
            rect.setRight(after.left() - 1);
    }
    return rect;
}

qsizetype TextView::positionAt(const QPoint &point) const
{
    const qreal lineHeight = m_layout->lineHeight();
    const qint64 rows = qint64(std::floor((point.y() - topY()) / lineHeight));
    const RowPos p = stepRows(m_top, rows);
    const qsizetype offset = m_layout->offsetAt(p.line, p.row, point.x() - leftX());
    return m_store.lineStart(p.line) + std::clamp<qsizetype>(offset, 0, m_store.lineLength(p.line));
}

void TextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout([this] { updateWrapWidth(); });
}

void TextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        relayout([this] {
            m_layout->setFont(shownFont());
            m_layout->setTabStopDistance(tabStopDistance());
        });
    } else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ActivationChange) {
        viewport()->update();
    }
}

void TextView::scrollContentsBy(int, int dy)
{
    if (m_syncingScrollBars) {
        viewport()->update();
        return;
    }
    if (dy != 0) {
        const int value = verticalScrollBar()->value();
        // Beyond what a growing text has taken in: wait for the index up to there.
        if (m_store.growing() && value >= verticalScrollBar()->maximum()) {
            (void)completeText();
        } else if (m_store.growing() && value + pageRows() >= m_layout->totalRows()) {
            const qint64 rows = std::max<qint64>(1, m_layout->totalRows());
            growToLine(qsizetype(double(m_store.lineCount()) * double(value + 2 * pageRows()) / double(rows)));
        }
        RowPos top;
        if (value >= verticalScrollBar()->maximum() && value > 0) {
            top = lastTop();
        } else {
            qint64 rowInLine = 0;
            top.line = m_layout->lineForRow(value, &rowInLine);
            if (m_wrapsAtEdge) {
                const int rows = m_layout->rowCount(top.line);
                const int estimate = m_layout->estimatedRows(top.line);
                top.row = int(std::min<qint64>(rows - 1, rowInLine * rows / std::max(1, estimate)));
            }
        }
        setTop(top);
    }
    viewport()->update();
}

void TextView::restartBlink()
{
    if (m_blinkTimer)
        killTimer(m_blinkTimer);
    m_blinkTimer = 0;
    m_caretShown = true;
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash >= 2)
        m_blinkTimer = startTimer(flash / 2);
}

void TextView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_growTimer) {
        (void)takeGrowth();
        return;
    }
    if (event->timerId() == m_blinkTimer) {
        m_caretShown = !m_caretShown;
        viewport()->update(cursorRect().adjusted(-4, -1, 40, 1));
        return;
    }
    if (event->timerId() == m_autoScrollTimer) {
        const QRect area = viewport()->rect();
        int rows = 0;
        if (m_mousePoint.y() < area.top())
            rows = -1;
        else if (m_mousePoint.y() > area.bottom())
            rows = 1;
        if (rows != 0)
            setTop(stepRows(m_top, rows));
        if (!m_wrapsAtEdge) {
            QScrollBar *bar = horizontalScrollBar();
            if (m_mousePoint.x() < area.left())
                bar->setValue(bar->value() - bar->singleStep());
            else if (m_mousePoint.x() > area.right())
                bar->setValue(bar->value() + bar->singleStep());
        }
        const QPoint inside(std::clamp(m_mousePoint.x(), area.left(), area.right()),
                            std::clamp(m_mousePoint.y(), area.top(), area.bottom()));
        moveCaret(m_anchor, positionAt(inside));
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void TextView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void TextView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (m_blinkTimer)
        killTimer(m_blinkTimer);
    m_blinkTimer = 0;
    viewport()->update();
}

// ---- Moving -------------------------------------------------------------

qsizetype TextView::nextGrapheme(qsizetype position) const
{
    const qsizetype length = m_store.length();
    if (position >= length)
        return length;
    if (m_store.at(position) == QChar(TextStore::lineBreak))
        return position + 1;
    const qsizetype line = m_store.lineAt(position);
    const qsizetype end = m_store.lineStart(line) + m_store.lineLength(line);
    const qsizetype count = std::min(end - position, lookAround);
    const QString text = m_store.text(position, count);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(0);
    const qsizetype next = finder.toNextBoundary();
    return position + (next > 0 ? next : 1);
}

qsizetype TextView::previousGrapheme(qsizetype position) const
{
    if (position <= 0)
        return 0;
    if (m_store.at(position - 1) == QChar(TextStore::lineBreak))
        return position - 1;
    const qsizetype line = m_store.lineAt(position);
    const qsizetype from = std::max(m_store.lineStart(line), position - lookAround);
    const QString text = m_store.text(from, position - from);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return previous >= 0 && from + previous < position ? from + previous : position - 1;
}

namespace {

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar::Nbsp || c.isSpace();
}

} // namespace

qsizetype TextView::nextWord(qsizetype position) const
{
    const qsizetype length = m_store.length();
    if (position >= length)
        return length;
    const qsizetype line = m_store.lineAt(position);
    const qsizetype lineStart = m_store.lineStart(line);
    const qsizetype end = lineStart + m_store.lineLength(line);
    if (position == end)
        return position + 1;
    const qsizetype count = std::min(end - position, lookAround);
    const QString text = m_store.text(position, count);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(0);
    qsizetype at = finder.toNextBoundary();
    if (at <= 0)
        at = count;
    while (at < count && isSpace(text[at]))
        ++at;
    return position + at;
}

qsizetype TextView::previousWord(qsizetype position) const
{
    if (position <= 0)
        return 0;
    const qsizetype line = m_store.lineAt(position);
    const qsizetype lineStart = m_store.lineStart(line);
    if (position == lineStart)
        return position - 1;
    const qsizetype from = std::max(lineStart, position - lookAround);
    const QString text = m_store.text(from, position - from);
    qsizetype at = text.size();
    while (at > 0 && isSpace(text[at - 1]))
        --at;
    if (at == 0)
        return from;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(at);
    const qsizetype previous = finder.toPreviousBoundary();
    return from + std::max<qsizetype>(0, previous);
}

std::pair<qsizetype, qsizetype> TextView::wordAt(qsizetype position) const
{
    const qsizetype line = m_store.lineAt(position);
    const qsizetype lineStart = m_store.lineStart(line);
    const qsizetype lineLength = m_store.lineLength(line);
    const qsizetype from = std::max(lineStart, position - lookAround);
    const qsizetype to = std::min(lineStart + lineLength, position + lookAround);
    const QString text = m_store.text(from, to - from);
    if (text.isEmpty())
        return {position, position};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype local = position - from;
    if (local == text.size())
        --local;
    finder.setPosition(local);
    qsizetype start = finder.isAtBoundary() && local < text.size() ? local : finder.toPreviousBoundary();
    finder.setPosition(local);
    qsizetype end = finder.toNextBoundary();
    if (start < 0)
        start = 0;
    if (end < 0)
        end = text.size();
    return {from + start, from + end};
}

qsizetype TextView::target(Move move, qsizetype from)
{
    const qsizetype length = m_store.length();
    switch (move) {
    case Move::Stay:
        return from;
    case Move::Left:
        return previousGrapheme(from);
    case Move::Right:
        return nextGrapheme(from);
    case Move::WordLeft:
        return previousWord(from);
    case Move::WordRight:
        return nextWord(from);
    case Move::TextStart:
        return 0;
    case Move::TextEnd:
        return length;
    case Move::RowStart:
    case Move::RowEnd: {
        const RowPos p = rowOfPosition(from);
        const auto [start, end] = m_layout->rowRange(p.line, p.row);
        const qsizetype lineStart = m_store.lineStart(p.line);
        if (move == Move::RowStart)
            return lineStart + start;
        // The end of a row that wraps at a space is before that space, so
        // that the caret stays on the row.
        const bool wrapped = p.row + 1 < m_layout->rowCount(p.line);
        if (wrapped && end > start && m_store.at(lineStart + end - 1).isSpace())
            return lineStart + end - 1;
        return lineStart + end;
    }
    case Move::Up:
    case Move::Down:
    case Move::PageUp:
    case Move::PageDown: {
        const qsizetype fromLine = m_store.lineAt(from);
        m_layout->settleRows(fromLine, from - m_store.lineStart(fromLine),
                             move == Move::Up || move == Move::Down ? 1 : pageRows());
        const RowPos p = rowOfPosition(from);
        const qsizetype line = p.line;
        if (m_preferredX < 0)
            m_preferredX = m_layout->xOf(line, from - m_store.lineStart(line));
        qint64 rows = move == Move::Up ? -1 : move == Move::Down ? 1 : 0;
        if (move == Move::PageUp)
            rows = -pageRows();
        else if (move == Move::PageDown)
            rows = pageRows();
        const RowPos to = stepRows(p, rows);
        if (to.line == p.line && to.row == p.row)
            return rows < 0 ? 0 : length;
        const qsizetype offset = m_layout->offsetAt(to.line, to.row, m_preferredX);
        return m_store.lineStart(to.line) + std::clamp<qsizetype>(offset, 0, m_store.lineLength(to.line));
    }
    }
    return from;
}

void TextView::moveBy(Move move, bool select)
{
    m_store.breakUndoJoin();
    if (m_store.growing()) {
        if (move == Move::TextEnd)
            (void)completeText();
        else
            growToLine(m_store.lineAt(m_position) + 2 * qsizetype(pageRows()) + 2);
    }
    const bool vertical = move == Move::Up || move == Move::Down || move == Move::PageUp || move == Move::PageDown;
    if (!vertical)
        m_preferredX = -1;
    qsizetype to;
    if (!select && hasSelection() && (move == Move::Left || move == Move::Right))
        to = move == Move::Left ? selectionStart() : selectionEnd();
    else
        to = target(move, m_position);
    if (move == Move::PageUp || move == Move::PageDown)
        setTop(stepRows(m_top, move == Move::PageUp ? -pageRows() : pageRows()));
    const qreal keepX = m_preferredX;
    moveCaret(select ? m_anchor : to, to);
    m_preferredX = keepX;
    ensureCursorVisible();
    if (select)
        setSelectionClipboard();
}

// ---- Keys ---------------------------------------------------------------

namespace {

struct KeyMove
{
    QKeySequence::StandardKey key;
    int move;
    bool select;
};

bool isTypedText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    // Joiners and direction marks, which some systems type with Ctrl+Shift.
    if (c.category() == QChar::Other_Format)
        return true;
    // Ctrl is a command; Ctrl+Alt is AltGr on some keyboards.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse
        || (c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate()) || c == QLatin1Char('\t');
}

} // namespace

static const KeyMove keyMoves[] = {
    {QKeySequence::MoveToNextChar, 2, false},
    {QKeySequence::MoveToPreviousChar, 1, false},
    {QKeySequence::MoveToNextWord, 4, false},
    {QKeySequence::MoveToPreviousWord, 3, false},
    {QKeySequence::MoveToNextLine, 6, false},
    {QKeySequence::MoveToPreviousLine, 5, false},
    {QKeySequence::MoveToStartOfLine, 7, false},
    {QKeySequence::MoveToEndOfLine, 8, false},
    {QKeySequence::MoveToStartOfBlock, 7, false},
    {QKeySequence::MoveToEndOfBlock, 8, false},
    {QKeySequence::MoveToStartOfDocument, 9, false},
    {QKeySequence::MoveToEndOfDocument, 10, false},
    {QKeySequence::MoveToNextPage, 12, false},
    {QKeySequence::MoveToPreviousPage, 11, false},
    {QKeySequence::SelectNextChar, 2, true},
    {QKeySequence::SelectPreviousChar, 1, true},
    {QKeySequence::SelectNextWord, 4, true},
    {QKeySequence::SelectPreviousWord, 3, true},
    {QKeySequence::SelectNextLine, 6, true},
    {QKeySequence::SelectPreviousLine, 5, true},
    {QKeySequence::SelectStartOfLine, 7, true},
    {QKeySequence::SelectEndOfLine, 8, true},
    {QKeySequence::SelectStartOfBlock, 7, true},
    {QKeySequence::SelectEndOfBlock, 8, true},
    {QKeySequence::SelectStartOfDocument, 9, true},
    {QKeySequence::SelectEndOfDocument, 10, true},
    {QKeySequence::SelectNextPage, 12, true},
    {QKeySequence::SelectPreviousPage, 11, true},
};

int TextView::zoomKey(const QKeyEvent *event)
{
    if ((event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) != Qt::ControlModifier)
        return 0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return 1;
    case Qt::Key_Minus:
        return -1;
    case Qt::Key_0:
        return 2;
    default:
        return 0;
    }
}

bool TextView::handlesKey(QKeyEvent *event) const
{
    if (zoomKey(event) != 0)
        return true;
    for (const KeyMove &m : keyMoves) {
        if (event->matches(m.key))
            return true;
    }
    static const QKeySequence::StandardKey edits[] = {
        QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
        QKeySequence::Undo, QKeySequence::Redo, QKeySequence::Delete, QKeySequence::Backspace,
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord, QKeySequence::InsertParagraphSeparator,
        QKeySequence::InsertLineSeparator, QKeySequence::DeleteEndOfLine};
    for (QKeySequence::StandardKey key : edits) {
        if (event->matches(key))
            return true;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods == Qt::NoModifier
        && (key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Return || key == Qt::Key_Enter
            || key == Qt::Key_Tab || key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Left
            || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
            || key == Qt::Key_PageDown))
        return true;
    // Typing goes before a window's shortcut on a plain key, not on Alt.
    return mods == Qt::NoModifier && key < Qt::Key_Escape && isTypedText(event);
}

bool TextView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (handlesKey(key)) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool TextView::focusNextPrevChild(bool next)
{
    if (!m_readOnly)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void TextView::typeText(const QString &text)
{
    if (m_readOnly)
        return;
    if (m_overwrite && !hasSelection() && m_position < m_store.length()
        && m_store.at(m_position) != QChar(TextStore::lineBreak)) {
        // Overwrite takes the next character, but never the line break.
        const qsizetype next = nextGrapheme(m_position);
        const qsizetype inserted = edit(m_position, next - m_position, text, TextStore::EditKind::Typing);
        const qsizetype at = m_position + inserted;
        finishEdit(at, at);
        return;
    }
    replaceSelection(text, TextStore::EditKind::Typing);
}

void TextView::deleteKey(bool forward, bool word)
{
    if (m_readOnly)
        return;
    if (hasSelection()) {
        const qsizetype start = selectionStart();
        edit(start, selectionEnd() - start, QStringView(), TextStore::EditKind::Deleting);
        finishEdit(start, start);
        return;
    }
    qsizetype from = m_position;
    qsizetype to = m_position;
    if (forward) {
        to = word ? nextWord(m_position) : nextGrapheme(m_position);
    } else if (word) {
        from = previousWord(m_position);
    } else if (m_position > 0) {
        // Backspace takes one code point: a pair whole, but not a whole cluster.
        from = m_position - 1;
        if (from > 0 && m_store.at(from).isLowSurrogate() && m_store.at(from - 1).isHighSurrogate())
            --from;
    }
    if (from == to)
        return;
    edit(from, to - from, QStringView(), word ? TextStore::EditKind::Separate : TextStore::EditKind::Deleting);
    finishEdit(from, from);
}

void TextView::keyPressEvent(QKeyEvent *event)
{
    if (const int zoomBy = zoomKey(event)) {
        if (zoomBy == 2)
            setZoom(100);
        else if (zoomBy > 0)
            zoomIn();
        else
            zoomOut();
        event->accept();
        return;
    }
    for (const KeyMove &m : keyMoves) {
        if (event->matches(m.key)) {
            moveBy(Move(m.move), m.select);
            event->accept();
            return;
        }
    }
    event->accept();
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::Undo)) {
        if (!m_readOnly)
            undo();
    } else if (event->matches(QKeySequence::Redo)) {
        if (!m_readOnly && m_lastWasUndo)
            undo();
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        deleteKey(false, true);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        deleteKey(true, true);
    } else if (event->matches(QKeySequence::Delete)) {
        deleteKey(true, false);
    } else if (event->matches(QKeySequence::DeleteEndOfLine)) {
        if (!m_readOnly) {
            // To the end of the line; at its end, the break.
            const qsizetype line = m_store.lineAt(m_position);
            const qsizetype end = m_store.lineStart(line) + m_store.lineLength(line);
            const qsizetype to = m_position == end ? std::min(end + 1, m_store.length()) : end;
            if (to > m_position) {
                const qsizetype at = m_position;
                edit(at, to - at, QStringView(), TextStore::EditKind::Separate);
                finishEdit(at, at);
            }
        }
    } else if (event->key() == Qt::Key_Backspace
               && !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        deleteKey(false, false);
    } else if (event->matches(QKeySequence::InsertParagraphSeparator)
               || event->matches(QKeySequence::InsertLineSeparator)) {
        if (!m_readOnly)
            replaceSelection(u"\n");
    } else if (event->key() == Qt::Key_Tab && !(event->modifiers() & ~Qt::KeypadModifier)) {
        typeText(QStringLiteral("\t"));
    } else if (isTypedText(event)) {
        typeText(event->text());
    } else {
        event->ignore();
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TextView::keyReleaseEvent(QKeyEvent *event)
{
    QAbstractScrollArea::keyReleaseEvent(event);
}

void TextView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        m_zoomWheel = 0;
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // A notch (120) is a step; a fine wheel's smaller turns add up to one.
    m_zoomWheel += event->angleDelta().y();
    for (; m_zoomWheel >= 120; m_zoomWheel -= 120)
        zoomIn();
    for (; m_zoomWheel <= -120; m_zoomWheel += 120)
        zoomOut();
    event->accept();
}

// ---- Mouse --------------------------------------------------------------

void TextView::mousePressEvent(QMouseEvent *event)
{
    if (!m_preedit.isEmpty())
        QGuiApplication::inputMethod()->commit();
    m_store.breakUndoJoin();
    m_preferredX = -1;
    const qsizetype at = positionAt(event->position().toPoint());
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && !m_readOnly) {
            const QString text = clipboard->text(QClipboard::Selection);
            moveCaret(at, at);
            if (!text.isEmpty())
                replaceSelection(text);
            event->accept();
            return;
        }
        event->ignore();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (m_doubleClicked.isValid() && m_doubleClicked.elapsed() < QApplication::doubleClickInterval()
        && (event->position().toPoint() - m_doubleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        // A third click selects the line with its break.
        m_doubleClicked.invalidate();
        const qsizetype line = m_store.lineAt(at);
        const qsizetype start = m_store.lineStart(line);
        const qsizetype end = std::min(start + m_store.lineLength(line) + 1, m_store.length());
        moveCaret(start, end);
        setSelectionClipboard();
        return;
    }
    if (!(event->modifiers() & Qt::ShiftModifier) && hasSelection() && at >= selectionStart()
        && at < selectionEnd()) {
        m_mightDrag = true;
        m_pressPoint = event->position().toPoint();
        return;
    }
    m_selecting = true;
    moveCaret((event->modifiers() & Qt::ShiftModifier) ? m_anchor : at, at);
    ensureCursorVisible();
}

void TextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint point = event->position().toPoint();
    if (m_mightDrag) {
        if ((point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
            m_mightDrag = false;
            startDrag();
        }
        return;
    }
    if (!m_selecting)
        return;
    m_mousePoint = point;
    if (m_wordsSelected.second > m_wordsSelected.first && viewport()->rect().contains(point)) {
        // After a double click the selection grows by whole words.
        const auto [start, end] = wordAt(positionAt(point));
        if (start < m_wordsSelected.first)
            moveCaret(m_wordsSelected.second, start);
        else
            moveCaret(m_wordsSelected.first, std::max(end, m_wordsSelected.second));
        return;
    }
    if (viewport()->rect().contains(point)) {
        if (m_autoScrollTimer)
            killTimer(m_autoScrollTimer);
        m_autoScrollTimer = 0;
        moveCaret(m_anchor, positionAt(point));
    } else if (!m_autoScrollTimer) {
        m_autoScrollTimer = startTimer(50);
    }
}

void TextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_autoScrollTimer)
        killTimer(m_autoScrollTimer);
    m_autoScrollTimer = 0;
    if (m_mightDrag) {
        m_mightDrag = false;
        const qsizetype at = positionAt(event->position().toPoint());
        moveCaret(at, at);
    }
    m_wordsSelected = {};
    if (m_selecting) {
        m_selecting = false;
        setSelectionClipboard();
    }
}

void TextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    m_store.breakUndoJoin();
    const auto [start, end] = wordAt(positionAt(event->position().toPoint()));
    moveCaret(start, end);
    m_mightDrag = false;
    m_selecting = true;
    m_wordsSelected = {start, end};
    m_doubleClicked.start();
    m_doubleClickPoint = event->position().toPoint();
    setSelectionClipboard();
}

// ---- Drag and drop ------------------------------------------------------

void TextView::startDrag()
{
    QMimeData *data = createMimeDataFromSelection();
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    m_droppedHere = false;
    const Qt::DropActions actions = m_readOnly ? Qt::CopyAction : (Qt::CopyAction | Qt::MoveAction);
    const Qt::DropAction action = drag->exec(actions, Qt::MoveAction);
    if (action == Qt::MoveAction && !m_droppedHere && !m_readOnly) {
        // Moved to another place: what was dragged goes from here.
        replaceSelection(QStringView());
    }
    m_droppedHere = false;
}

bool TextView::takesDrop(const QMimeData *source) const
{
    // Files dragged from a file manager are for the window around to open,
    // not their names for the text.
    const QList<QUrl> urls = source->urls();
    const bool files = std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
    return !m_readOnly && !files && canInsertFromMimeData(source);
}

void TextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!takesDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TextView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!takesDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint();
    m_dropPosition = positionAt(point);
    m_mousePoint = point;
    viewport()->update();
    event->acceptProposedAction();
}

void TextView::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropPosition = -1;
    viewport()->update();
}

void TextView::dropEvent(QDropEvent *event)
{
    m_dropPosition = -1;
    viewport()->update();
    if (!takesDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    const bool fromHere = event->source() == this;
    const bool move = fromHere && event->dropAction() == Qt::MoveAction;
    if (fromHere && hasSelection()) {
        const qsizetype at = positionAt(event->position().toPoint());
        if (at >= selectionStart() && at <= selectionEnd()) {
            // Dropped on itself: nothing moves.
            event->setDropAction(Qt::CopyAction);
            m_droppedHere = true;
            event->accept();
            return;
        }
    }
    dropMimeData(event->mimeData(), event->position().toPoint(), move);
    m_droppedHere = fromHere;
    event->acceptProposedAction();
}

void TextView::dropMimeData(const QMimeData *source, const QPoint &point, bool moveSelection)
{
    const qsizetype at = positionAt(point);
    m_store.breakUndoJoin();
    const qsizetype start = selectionStart();
    const qsizetype end = selectionEnd();
    if (moveSelection && hasSelection() && (at < start || at > end)) {
        // One edit over the span from the selection to the drop point, so
        // that the move is one change and one undo step.
        const qsizetype length = end - start;
        qsizetype from, to, newStart;
        QString text;
        if (at > end) {
            from = start;
            to = at;
            text = m_store.text(end, at - end) + m_store.text(start, length);
            newStart = at - length;
        } else {
            from = at;
            to = end;
            text = m_store.text(start, length) + m_store.text(at, start - at);
            newStart = at;
        }
        edit(from, to - from, text, TextStore::EditKind::Separate);
        finishEdit(newStart, newStart + length);
        return;
    }
    if (moveSelection)
        return;
    moveCaret(at, at);
    const qsizetype before = m_store.length();
    insertFromMimeData(source);
    const qsizetype inserted = m_store.length() - before;
    moveCaret(at, at + inserted);
}

// ---- Input methods ------------------------------------------------------

void TextView::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_readOnly) {
        event->ignore();
        return;
    }
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        qsizetype from = selectionStart();
        qsizetype removed = selectionEnd() - from;
        if (event->replacementLength() > 0 || event->replacementStart() != 0) {
            from = std::clamp<qsizetype>(m_position + event->replacementStart(), 0, m_store.length());
            removed = event->replacementLength();
        }
        const TextStore::EditKind kind = removed == 0 ? TextStore::EditKind::Typing : TextStore::EditKind::Separate;
        m_preedit.clear();
        const qsizetype inserted = edit(from, removed, commit, kind);
        finishEdit(from + inserted, from + inserted);
    }
    int preeditCursor = int(event->preeditString().size());
    for (const QInputMethodEvent::Attribute &a : event->attributes()) {
        if (a.type == QInputMethodEvent::Cursor) {
            preeditCursor = a.start;
        } else if (a.type == QInputMethodEvent::Selection && event->preeditString().isEmpty()) {
            // Counted as the surrounding text the input method was given.
            const qsizetype from = surroundingStart();
            setSelection(from + a.start, from + a.start + a.length);
        }
    }
    const QString preedit = event->preeditString();
    if (preedit != m_preedit || !preedit.isEmpty()) {
        m_preedit = preedit;
        m_preeditCursor = std::clamp(preeditCursor, 0, int(preedit.size()));
        m_layout->setPreedit(m_position, preedit, m_preeditCursor);
        viewport()->update();
        ensureCursorVisible();
    }
    event->accept();
}

qsizetype TextView::surroundingStart() const
{
    // The caret's line, or a window of it around the caret when it is long.
    const qsizetype line = m_store.lineAt(m_position);
    return std::max(m_store.lineStart(line), m_position - lookAround * 4);
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const qsizetype line = m_store.lineAt(m_position);
    const qsizetype lineStart = m_store.lineStart(line);
    const qsizetype lineLength = m_store.lineLength(line);
    const qsizetype from = surroundingStart();
    const qsizetype to = std::min(lineStart + lineLength, m_position + lookAround * 4);
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly && isEnabled();
    case Qt::ImCursorRectangle:
        return QRectF(cursorRect()).translated(viewport()->pos());
    case Qt::ImFont:
        return shownFont();
    case Qt::ImCursorPosition:
        return int(m_position - from);
    case Qt::ImAnchorPosition:
        return int(std::clamp(m_anchor, from, to) - from);
    case Qt::ImSurroundingText:
        return m_store.text(from, to - from);
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImMaximumTextLength:
        return std::numeric_limits<int>::max();
    case Qt::ImAbsolutePosition:
        return qlonglong(m_position);
    case Qt::ImTextBeforeCursor:
        return m_store.text(from, m_position - from);
    case Qt::ImTextAfterCursor:
        return m_store.text(m_position, to - m_position);
    case Qt::ImReadOnly:
        return m_readOnly;
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
