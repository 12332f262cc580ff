#include "editor/textlayout.h"
#include "editor/textview.h"

#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

namespace {

// What a line shows besides its text, in viewport pixels.
struct LinePaint
{
    QPainter *painter = nullptr;
    // Where the line's row 0 starts.
    QPointF origin;
    // Rows wanted: [firstRow, lastRow].
    int firstRow = 0;
    int lastRow = 0;
    qreal clipLeft = 0;
    qreal clipRight = 0;
    // The selection within the line, in offsets (may run past its end when
    // the line break is selected).
    qsizetype selectionStart = 0;
    qsizetype selectionEnd = 0;
    QColor highlight;
    QColor highlightedText;
    // The caret's offset in the line, or -1.
    qsizetype caret = -1;
    bool blockCaret = false;
    QColor caretColor;
};

void paintLine(TextLayoutCache &layout, qsizetype line, qsizetype length, const LinePaint &c)
{
    QPainter *painter = c.painter;
    const qreal lineHeight = layout.lineHeight();
    const QRectF clip(c.clipLeft, c.origin.y() + c.firstRow * lineHeight, c.clipRight - c.clipLeft,
                      (c.lastRow - c.firstRow + 1) * lineHeight);
    layout.showPieces(line, c.origin, c.firstRow, c.lastRow, c.clipLeft, c.clipRight,
                      [&](const TextLayoutCache::ShownPiece &p) {
        QTextLayout *text = p.layout;
        QList<QTextLayout::FormatRange> selections;
        const qsizetype selFrom = std::max(c.selectionStart, p.start);
        const qsizetype selTo = std::min(c.selectionEnd, p.start + p.length);
        if (selTo > selFrom) {
            QTextLayout::FormatRange range;
            range.start = p.toLayout(selFrom);
            range.length = p.toLayout(selTo) - range.start;
            range.format.setBackground(c.highlight);
            range.format.setForeground(c.highlightedText);
            selections.append(range);
        }
        text->draw(painter, p.at, selections, clip);

        if (p.last && c.selectionEnd > length && c.selectionStart <= length) {
            // The line break is selected: a space's width of highlight after the line.
            const QTextLine row = text->lineAt(text->lineCount() - 1);
            const QRectF mark(p.at.x() + row.x() + row.naturalTextWidth(), p.at.y() + row.y(),
                              layout.metrics().horizontalAdvance(QLatin1Char(' ')), lineHeight);
            painter->fillRect(mark, c.highlight);
        }
        if (c.caret >= 0 && p.holds(c.caret)) {
            const int index = p.caretIndex(c.caret);
            QTextLine row = text->lineForTextPosition(index);
            if (!row.isValid())
                row = text->lineAt(text->lineCount() - 1);
            const qreal x = row.cursorToX(index);
            if (c.blockCaret && c.caret - p.start < p.length) {
                int next = text->nextCursorPosition(index);
                qreal x2 = row.cursorToX(next);
                if (x2 <= x)
                    x2 = x + layout.characterWidth();
                const QRectF block(p.at.x() + x, p.at.y() + row.y(), x2 - x, lineHeight);
                const QPainter::CompositionMode mode = painter->compositionMode();
                painter->setCompositionMode(QPainter::RasterOp_NotDestination);
                painter->fillRect(block, c.caretColor);
                painter->setCompositionMode(mode);
            } else {
                painter->fillRect(QRectF(p.at.x() + x, p.at.y() + row.y(), 1, lineHeight), c.caretColor);
            }
        }
    });
}

} // namespace

void TextView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QPalette pal = palette();
    painter.setPen(pal.color(group, QPalette::Text));
    painter.setFont(shownFont());

    const bool showSelection = hasSelection() && (!m_hideSelection || hasFocus());
    const bool showCaret = hasFocus() && m_caretShown && !m_readOnly;
    const qreal lineHeight = m_layout->lineHeight();
    const qreal height = viewport()->height();
    const qsizetype lines = m_store.lineCount();

    LinePaint c;
    c.painter = &painter;
    c.clipLeft = 0;
    c.clipRight = viewport()->width();
    c.highlight = pal.color(group, QPalette::Highlight);
    c.highlightedText = pal.color(group, QPalette::HighlightedText);
    c.caretColor = pal.color(group, QPalette::Text);
    c.blockCaret = m_overwrite && m_preedit.isEmpty();
    const qsizetype selFrom = selectionStart();
    const qsizetype selTo = selectionEnd();

    qreal y = topY();
    qsizetype line = m_top.line;
    int firstRow = m_top.row;
    while (y < height && line < lines) {
        const qsizetype start = m_store.lineStart(line);
        const int rows = m_layout->rowCount(line);
        const int lastRow = std::min(rows - 1, firstRow + int((height - y) / lineHeight));
        c.origin = QPointF(leftX(), y - firstRow * lineHeight);
        c.firstRow = firstRow;
        c.lastRow = lastRow;
        c.selectionStart = showSelection ? selFrom - start : 0;
        c.selectionEnd = showSelection ? selTo - start : 0;
        const qsizetype length = m_store.lineLength(line);
        c.caret = showCaret && m_position >= start && m_position <= start + length ? m_position - start : -1;
        paintLine(*m_layout, line, length, c);
        y += (lastRow - firstRow + 1) * lineHeight;
        ++line;
        firstRow = 0;
    }
    if (m_dropPosition >= 0) {
        const qsizetype dropLine = m_store.lineAt(m_dropPosition);
        const RowPos p{dropLine, m_layout->rowOf(dropLine, m_dropPosition - m_store.lineStart(dropLine))};
        const qint64 fromTop = rowsFromTop(p);
        if (fromTop >= 0 && fromTop <= pageRows()) {
            const qreal x = leftX() + m_layout->xOf(dropLine, m_dropPosition - m_store.lineStart(dropLine));
            painter.fillRect(QRectF(x, topY() + fromTop * lineHeight, 1, lineHeight), c.caretColor);
        }
    }
    m_layout->trim(m_top.line, line);
    if (m_layout->takeEstimatesChanged())
        QTimer::singleShot(0, this, [this] {
            // Scrolled to the right end, the view stays at the end of what is now known.
            QScrollBar *bar = horizontalScrollBar();
            const bool atEnd = bar->value() > 0 && bar->value() == bar->maximum();
            updateScrollBars();
            setTop(m_top);
            if (atEnd)
                bar->setValue(bar->maximum());
        });
}
