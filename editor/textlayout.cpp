#include "editor/textlayout.h"

#include "editor/textstore.h"

#include <QFontInfo>
#include <QTextLine>

#include <algorithm>
#include <cmath>

qint64 TextLayoutCache::shapedCharacters = 0;

namespace {

// A line up to this long is one piece; longer ones are cut into pieces of
// about pieceLength characters.
constexpr qsizetype longLine = 8192;
constexpr qsizetype pieceLength = 4096;
// How far back from a cut a space is looked for, so that a wrapped long line
// is cut where it would wrap anyway.
constexpr qsizetype cutSearch = 256;
// Lines whose layouts are kept beyond those in sight.
constexpr size_t keptLines = 256;
// Unwrapped, a row is as wide as it needs.
constexpr qreal unwrappedWidth = 1e7;

} // namespace

TextLayoutCache::TextLayoutCache(const TextStore &store)
    : m_store(store)
    , m_metrics(QFont())
    , m_rows(store)
{
    setFont(QFont());
}

TextLayoutCache::~TextLayoutCache() = default;

void TextLayoutCache::setFont(const QFont &font)
{
    m_font = font;
    m_metrics = QFontMetricsF(font);
    m_lineHeight = std::max<qreal>(1, std::ceil(m_metrics.lineSpacing()));
    m_ascent = m_metrics.ascent();
    // A fixed-pitch font is measured exactly by this; for others the first
    // text laid out tells the width of a character better.
    m_fixedPitch = QFontInfo(font).fixedPitch();
    m_charWidth = m_fixedPitch ? m_metrics.horizontalAdvance(QLatin1Char('x')) : m_metrics.averageCharWidth();
    if (m_charWidth <= 0)
        m_charWidth = 1;
    m_charWidthKnown = m_fixedPitch;
    invalidateMeasures();
}

void TextLayoutCache::setWrapWidth(qreal width)
{
    width = std::max<qreal>(0, width);
    if (width == m_wrapWidth)
        return;
    m_wrapWidth = width;
    invalidateMeasures();
}

void TextLayoutCache::setTabStopDistance(qreal distance)
{
    if (distance == m_tabStopDistance)
        return;
    m_tabStopDistance = distance;
    invalidateMeasures();
}

void TextLayoutCache::setPreedit(qsizetype position, const QString &text, int cursor)
{
    auto forget = [this](qsizetype line) {
        if (line >= 0)
            m_lines.erase(line);
    };
    if (text.isEmpty() && m_preedit.isEmpty())
        return;
    forget(m_preeditLine);
    m_preedit = text;
    m_preeditCursor = cursor;
    if (text.isEmpty()) {
        m_preeditPosition = m_preeditLine = m_preeditOffset = -1;
        return;
    }
    m_preeditPosition = position;
    m_preeditLine = m_store.lineAt(position);
    m_preeditOffset = position - m_store.lineStart(m_preeditLine);
    forget(m_preeditLine);
}

void TextLayoutCache::invalidateMeasures()
{
    m_lines.clear();
    m_rows.setCharactersPerRow(charactersPerRow());
    m_rows.invalidate();
    m_widestMeasured = 0;
}

void TextLayoutCache::reset()
{
    invalidateMeasures();
    m_rows.reset();
    m_charWidthKnown = m_fixedPitch;
    m_preedit.clear();
    m_preeditPosition = m_preeditLine = m_preeditOffset = -1;
}

qsizetype TextLayoutCache::charactersPerRow() const
{
    return wraps() ? std::max<qsizetype>(1, qsizetype(m_wrapWidth / m_charWidth)) : 0;
}

void TextLayoutCache::aboutToReplace(qsizetype position, qsizetype removed)
{
    m_editFirstLine = m_store.lineAt(position);
    m_editOldLastLine = m_store.lineAt(position + removed);
    m_editOldLineCount = m_store.lineCount();
    m_editRemoved = removed;
    m_rows.aboutToReplace(position, removed);
}

void TextLayoutCache::replaced(qsizetype position, qsizetype inserted)
{
    const qsizetype first = m_editFirstLine;
    const qsizetype oldLast = m_editOldLastLine;
    const qsizetype newLast = m_store.lineAt(position + inserted);
    const qsizetype delta = m_store.lineCount() - m_editOldLineCount;

    // A long line edited within itself keeps the pieces the edit missed.
    Line kept;
    bool keep = false;
    if (first == oldLast && first == newLast) {
        auto it = m_lines.find(first);
        if (it != m_lines.end() && it->second.pieces.size() > 1) {
            Line &l = it->second;
            const qsizetype offset = position - m_store.lineStart(first);
            qsizetype start = 0;
            size_t i = 0;
            for (; i + 1 < l.pieces.size() && start + l.pieces[i].length <= offset; ++i)
                start += l.pieces[i].length;
            size_t j = i;
            qsizetype end = start + l.pieces[i].length;
            while (end < offset + m_editRemoved && j + 1 < l.pieces.size())
                end += l.pieces[++j].length;
            Piece &p = l.pieces[i];
            p.length = end - start - m_editRemoved + inserted;
            p.layout.reset();
            p.measured = false;
            p.flowed = false;
            l.pieces.erase(l.pieces.begin() + qsizetype(i) + 1, l.pieces.begin() + qsizetype(j) + 1);
            if (p.length == 0 && l.pieces.size() > 1)
                l.pieces.erase(l.pieces.begin() + qsizetype(i));
            l.length = m_store.lineLength(first);
            kept = std::move(l);
            keep = true;
        }
    }

    std::unordered_map<qsizetype, Line> lines;
    lines.reserve(m_lines.size());
    for (auto &[index, l] : m_lines) {
        if (index < first)
            lines.emplace(index, std::move(l));
        else if (index > oldLast)
            lines.emplace(index + delta, std::move(l));
    }
    if (keep)
        lines.emplace(first, std::move(kept));
    m_lines = std::move(lines);
    if (m_preeditLine >= 0)
        setPreedit(-1, QString(), 0);

    m_rows.replaced(position, inserted);
}

void TextLayoutCache::changedFrom(qsizetype first, qsizetype last)
{
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        if (it->first >= first)
            it = m_lines.erase(it);
        else
            ++it;
    }
    m_rows.changedFrom(first, last);
    if (m_preeditLine >= 0)
        setPreedit(-1, QString(), 0);
}

TextLayoutCache::Line &TextLayoutCache::line(qsizetype index)
{
    auto it = m_lines.find(index);
    const qsizetype length = m_store.lineLength(index);
    if (it != m_lines.end() && it->second.length == length)
        return it->second;
    Line &l = m_lines[index];
    l.length = length;
    l.pieces.clear();
    cut(index, l);
    return l;
}

// Where a long line's piece that starts at from should end.
static qsizetype pieceEnd(const TextStore &store, qsizetype lineStart, qsizetype from, qsizetype lineLength)
{
    qsizetype end = from + pieceLength;
    if (lineLength - end < pieceLength / 2)
        return lineLength;
    for (qsizetype at = end - 1; at > end - cutSearch; --at) {
        if (store.at(lineStart + at) == QLatin1Char(' '))
            return at + 1;
    }
    if (store.at(lineStart + end - 1).isHighSurrogate())
        --end;
    return end;
}

void TextLayoutCache::cut(qsizetype lineIndex, Line &l)
{
    if (l.length <= longLine) {
        l.pieces.emplace_back();
        l.pieces.back().length = l.length;
        l.pieces.back().rows = m_rows.rowsFor(l.length);
        l.pieces.back().width = estimateWidth(l.length);
        return;
    }
    const qsizetype lineStart = m_store.lineStart(lineIndex);
    for (qsizetype from = 0; from < l.length;) {
        const qsizetype end = pieceEnd(m_store, lineStart, from, l.length);
        Piece p;
        p.length = end - from;
        p.rows = m_rows.rowsFor(p.length);
        p.width = estimateWidth(p.length);
        l.pieces.push_back(std::move(p));
        from = end;
    }
}

void TextLayoutCache::splitPiece(qsizetype lineIndex, Line &l, size_t pieceIndex)
{
    qsizetype start = 0;
    for (size_t i = 0; i < pieceIndex; ++i)
        start += l.pieces[i].length;
    const qsizetype length = l.pieces[pieceIndex].length;
    const qsizetype lineStart = m_store.lineStart(lineIndex);
    std::vector<Piece> parts;
    for (qsizetype from = start; from < start + length;) {
        qsizetype end = pieceEnd(m_store, lineStart, from, start + length);
        Piece p;
        p.length = end - from;
        p.rows = m_rows.rowsFor(p.length);
        p.width = estimateWidth(p.length);
        parts.push_back(std::move(p));
        from = end;
    }
    l.pieces.erase(l.pieces.begin() + qsizetype(pieceIndex));
    l.pieces.insert(l.pieces.begin() + qsizetype(pieceIndex), std::make_move_iterator(parts.begin()),
                    std::make_move_iterator(parts.end()));
}

int TextLayoutCache::rowsOf(const Piece &p) const
{
    return p.measured ? p.rows : m_rows.rowsFor(p.length);
}

qreal TextLayoutCache::widthOf(const Piece &p) const
{
    return p.measured ? p.width : estimateWidth(p.length);
}

qreal TextLayoutCache::estimateWidth(qsizetype length) const
{
    return qreal(length) * m_charWidth;
}

int TextLayoutCache::estimatedRows(qsizetype line) const
{
    return m_rows.lineRows(line);
}

bool TextLayoutCache::holdsOffset(const Line &l, size_t pieceIndex, qsizetype start, qsizetype offset) const
{
    return (offset >= start && offset < start + l.pieces[pieceIndex].length)
        || (pieceIndex + 1 == l.pieces.size() && offset == start + l.pieces[pieceIndex].length);
}

void TextLayoutCache::measure(qsizetype lineIndex, Line &l, size_t pieceIndex)
{
    if (l.pieces[pieceIndex].length > 2 * longLine)
        splitPiece(lineIndex, l, pieceIndex);
    qsizetype start = 0;
    qreal left = 0;
    for (size_t i = 0; i < pieceIndex; ++i) {
        start += l.pieces[i].length;
        left += widthOf(l.pieces[i]);
    }
    Piece &p = l.pieces[pieceIndex];
    p.used = m_stamp;
    if (p.layout)
        return;

    QString text = m_store.text(m_store.lineStart(lineIndex) + start, p.length);
    if (!wraps()) {
        // A row stays one row: a line separator inside a line does not break it.
        text.replace(QChar::LineSeparator, QLatin1Char(' '));
    }
    p.preeditAt = -1;
    p.preeditLength = 0;
    QList<QTextLayout::FormatRange> formats;
    if (lineIndex == m_preeditLine && holdsOffset(l, pieceIndex, start, m_preeditOffset)) {
        p.preeditAt = m_preeditOffset - start;
        p.preeditLength = int(m_preedit.size());
        text.insert(p.preeditAt, m_preedit);
        QTextLayout::FormatRange underline;
        underline.start = int(p.preeditAt);
        underline.length = p.preeditLength;
        underline.format.setFontUnderline(true);
        formats.append(underline);
    }
    shapedCharacters += text.size();

    p.layout = std::make_unique<QTextLayout>(text, m_font);
    QTextOption option;
    option.setWrapMode(wraps() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTabStopDistance(m_tabStopDistance);
    const qreal intoStop = wraps() || m_tabStopDistance <= 0 ? 0 : std::fmod(left, m_tabStopDistance);
    if (intoStop > 0 && text.contains(QLatin1Char('\t'))) {
        // A piece that starts between tab stops has its stops moved by as
        // much, so that its tabs stop where the whole line's would.
        const qsizetype tabs = text.count(QLatin1Char('\t'));
        const qreal widest = qreal(text.size() - tabs) * m_metrics.maxWidth() + qreal(tabs) * m_tabStopDistance;
        QList<QTextOption::Tab> stops;
        for (qreal x = m_tabStopDistance - intoStop; x <= widest + m_tabStopDistance; x += m_tabStopDistance)
            stops.append(QTextOption::Tab(x, QTextOption::LeftTab));
        option.setTabs(stops);
    }
    p.layout->setTextOption(option);
    p.layout->setCacheEnabled(true);
    p.layout->setFormats(formats);
    p.layout->beginLayout();
    qreal y = 0;
    qreal width = 0;
    qreal allRows = 0;
    for (;;) {
        QTextLine row = p.layout->createLine();
        if (!row.isValid())
            break;
        row.setLineWidth(wraps() ? m_wrapWidth : unwrappedWidth);
        row.setPosition(QPointF(0, y));
        y += m_lineHeight;
        // Trailing spaces and tabs count: the next piece starts after them.
        width = std::max(width, row.horizontalAdvance());
        allRows += row.horizontalAdvance();
    }
    p.layout->endLayout();
    p.rows = std::max(1, p.layout->lineCount());
    p.width = width;
    p.measured = true;
    if (!m_charWidthKnown && p.length >= 64 && allRows > 0) {
        m_charWidth = allRows / qreal(p.length);
        m_charWidthKnown = true;
        m_estimatesChanged = true;
        m_rows.setCharactersPerRow(charactersPerRow());
        m_rows.invalidate();
    }
    if (!wraps() && l.pieces.size() == 1)
        m_widestMeasured = std::max(m_widestMeasured, width);
    if (wraps() && !p.flowed && p.preeditAt < 0 && p.rows > 1 && pieceIndex + 1 < l.pieces.size()) {
        p.flowed = true;
        Piece &next = l.pieces[pieceIndex + 1];
        const qsizetype moved = p.length - p.layout->lineAt(p.rows - 1).textStart();
        if (next.preeditAt < 0 && moved > 0 && moved < p.length) {
            // The next piece takes this one's last row, so that the rows run
            // on across the cut as the whole line would wrap.
            p.length -= moved;
            next.length += moved;
            next.layout.reset();
            next.measured = false;
            p.layout.reset();
            p.measured = false;
            measure(lineIndex, l, pieceIndex);
        }
    }
}

QTextLayout *TextLayoutCache::layoutOf(qsizetype lineIndex, Line &l, size_t pieceIndex)
{
    measure(lineIndex, l, pieceIndex);
    return l.pieces[pieceIndex].layout.get();
}

TextLayoutCache::PieceRef TextLayoutCache::pieceAtOffset(qsizetype lineIndex, qsizetype offset)
{
    Line &l = line(lineIndex);
    PieceRef ref;
    for (size_t i = 0; i < l.pieces.size(); ++i) {
        if (holdsOffset(l, i, ref.start, offset)) {
            const qsizetype before = qsizetype(l.pieces.size());
            measure(lineIndex, l, i);
            if (qsizetype(l.pieces.size()) != before || !holdsOffset(l, i, ref.start, offset))
                return pieceAtOffset(lineIndex, offset);
            ref.piece = &l.pieces[i];
            ref.layout = ref.piece->layout.get();
            return ref;
        }
        ref.start += l.pieces[i].length;
        ref.firstRow += rowsOf(l.pieces[i]);
        ref.x += widthOf(l.pieces[i]);
    }
    // Past the end: the last piece.
    return pieceAtOffset(lineIndex, l.length);
}

TextLayoutCache::PieceRef TextLayoutCache::pieceAtRow(qsizetype lineIndex, int row)
{
    Line &l = line(lineIndex);
    PieceRef ref;
    for (size_t i = 0; i < l.pieces.size(); ++i) {
        const bool last = i + 1 == l.pieces.size();
        if (row < ref.firstRow + rowsOf(l.pieces[i]) || last) {
            const qsizetype before = qsizetype(l.pieces.size());
            measure(lineIndex, l, i);
            if (qsizetype(l.pieces.size()) != before)
                return pieceAtRow(lineIndex, row);
            if (row < ref.firstRow + rowsOf(l.pieces[i]) || last) {
                ref.piece = &l.pieces[i];
                ref.layout = ref.piece->layout.get();
                return ref;
            }
        }
        ref.start += l.pieces[i].length;
        ref.firstRow += rowsOf(l.pieces[i]);
        ref.x += widthOf(l.pieces[i]);
    }
    return ref;
}

int TextLayoutCache::toLayout(const Piece &p, qsizetype offset) const
{
    if (p.preeditAt >= 0 && offset > p.preeditAt)
        offset += p.preeditLength;
    return int(offset);
}

qsizetype TextLayoutCache::fromLayout(const Piece &p, int index) const
{
    if (p.preeditAt < 0 || index <= p.preeditAt)
        return index;
    if (index < p.preeditAt + p.preeditLength)
        return p.preeditAt;
    return index - p.preeditLength;
}

int TextLayoutCache::rowCount(qsizetype lineIndex)
{
    if (!wraps())
        return 1;
    Line &l = line(lineIndex);
    if (l.pieces.size() == 1)
        measure(lineIndex, l, 0);
    int rows = 0;
    for (const Piece &p : l.pieces)
        rows += rowsOf(p);
    return rows;
}

bool TextLayoutCache::measureUnsettledPiece(qsizetype lineIndex, int firstRow, int lastRow)
{
    Line &l = line(lineIndex);
    int first = 0;
    for (size_t i = 0; i < l.pieces.size() && first <= lastRow; ++i) {
        const int rows = rowsOf(l.pieces[i]);
        if (!l.pieces[i].measured && first + rows > firstRow) {
            measure(lineIndex, l, i);
            return true;
        }
        first += rows;
    }
    return false;
}

void TextLayoutCache::settleRows(qsizetype lineIndex, qsizetype offset, int around)
{
    if (!wraps())
        return;
    // Each piece laid out can move the rows after it: lay out until the
    // pieces near offset's row all are.
    for (int pass = 0; pass < 16; ++pass) {
        const int row = rowOf(lineIndex, offset);
        if (!measureUnsettledPiece(lineIndex, row - around, row + around))
            return;
    }
}

void TextLayoutCache::settleRowRange(qsizetype lineIndex, int firstRow, int lastRow)
{
    if (!wraps())
        return;
    for (int pass = 0; pass < 16; ++pass) {
        if (!measureUnsettledPiece(lineIndex, firstRow, lastRow))
            return;
    }
}

int TextLayoutCache::rowOf(qsizetype lineIndex, qsizetype offset)
{
    if (!wraps())
        return 0;
    PieceRef ref = pieceAtOffset(lineIndex, offset);
    qsizetype local = offset - ref.start;
    int index = toLayout(*ref.piece, local);
    if (ref.piece->preeditAt >= 0 && local == ref.piece->preeditAt)
        index += m_preeditCursor;
    const QTextLine row = ref.layout->lineForTextPosition(index);
    return ref.firstRow + (row.isValid() ? row.lineNumber() : ref.layout->lineCount() - 1);
}

std::pair<qsizetype, qsizetype> TextLayoutCache::rowRange(qsizetype lineIndex, int row)
{
    if (!wraps()) {
        const qsizetype length = m_store.lineLength(lineIndex);
        return {0, length};
    }
    PieceRef ref = pieceAtRow(lineIndex, row);
    const int n = std::clamp(row - ref.firstRow, 0, ref.layout->lineCount() - 1);
    const QTextLine r = ref.layout->lineAt(n);
    return {ref.start + fromLayout(*ref.piece, r.textStart()),
            ref.start + fromLayout(*ref.piece, r.textStart() + r.textLength())};
}

qreal TextLayoutCache::xOf(qsizetype lineIndex, qsizetype offset)
{
    PieceRef ref = pieceAtOffset(lineIndex, offset);
    const qsizetype local = offset - ref.start;
    int index = toLayout(*ref.piece, local);
    if (ref.piece->preeditAt >= 0 && local == ref.piece->preeditAt)
        index += m_preeditCursor;
    QTextLine row = ref.layout->lineForTextPosition(index);
    if (!row.isValid())
        row = ref.layout->lineAt(ref.layout->lineCount() - 1);
    return (wraps() ? 0 : ref.x) + row.cursorToX(index);
}

qsizetype TextLayoutCache::offsetAt(qsizetype lineIndex, int row, qreal x)
{
    if (wraps()) {
        PieceRef ref = pieceAtRow(lineIndex, row);
        const int n = std::clamp(row - ref.firstRow, 0, ref.layout->lineCount() - 1);
        return ref.start + fromLayout(*ref.piece, ref.layout->lineAt(n).xToCursor(x));
    }
    Line &l = line(lineIndex);
    qsizetype start = 0;
    qreal left = 0;
    for (size_t i = 0; i < l.pieces.size(); ++i) {
        const bool last = i + 1 == l.pieces.size();
        if (x < left + widthOf(l.pieces[i]) || last) {
            const qsizetype before = qsizetype(l.pieces.size());
            QTextLayout *layout = layoutOf(lineIndex, l, i);
            if (qsizetype(l.pieces.size()) != before)
                return offsetAt(lineIndex, row, x);
            if (x < left + widthOf(l.pieces[i]) || last)
                return start + fromLayout(l.pieces[i], layout->lineAt(0).xToCursor(x - left));
        }
        start += l.pieces[i].length;
        left += widthOf(l.pieces[i]);
    }
    return l.length;
}

qreal TextLayoutCache::lineWidth(qsizetype lineIndex)
{
    Line &l = line(lineIndex);
    if (l.pieces.size() == 1)
        measure(lineIndex, l, 0);
    qreal width = 0;
    for (const Piece &p : l.pieces)
        width += widthOf(p);
    if (!wraps())
        m_widestMeasured = std::max(m_widestMeasured, width);
    return width;
}

int TextLayoutCache::ShownPiece::toLayout(qsizetype offset) const
{
    offset -= start;
    if (preeditAt >= 0 && offset > preeditAt)
        offset += preeditLength;
    return int(offset);
}

int TextLayoutCache::ShownPiece::caretIndex(qsizetype offset) const
{
    return toLayout(offset) + (preeditAt >= 0 && offset - start == preeditAt ? preeditCursor : 0);
}

void TextLayoutCache::showPieces(qsizetype lineIndex, QPointF origin, int firstRow, int lastRow, qreal clipLeft,
                                 qreal clipRight, const std::function<void(const ShownPiece &)> &show)
{
    Line &l = line(lineIndex);
    qsizetype start = 0;
    int pieceRow = 0;
    qreal left = 0;
    for (size_t i = 0; i < l.pieces.size(); ++i) {
        bool visible;
        if (wraps())
            visible = pieceRow <= lastRow && pieceRow + rowsOf(l.pieces[i]) > firstRow;
        else
            visible = origin.x() + left <= clipRight && origin.x() + left + widthOf(l.pieces[i]) >= clipLeft;
        if (!visible) {
            if (wraps() && pieceRow > lastRow)
                break;
            start += l.pieces[i].length;
            pieceRow += rowsOf(l.pieces[i]);
            left += widthOf(l.pieces[i]);
            continue;
        }
        const qsizetype before = qsizetype(l.pieces.size());
        QTextLayout *layout = layoutOf(lineIndex, l, i);
        if (qsizetype(l.pieces.size()) != before) {
            // Cut into smaller pieces: show this one again.
            --i;
            continue;
        }
        const Piece &p = l.pieces[i];
        ShownPiece shown;
        shown.layout = layout;
        shown.start = start;
        shown.length = p.length;
        shown.at = origin + (wraps() ? QPointF(0, pieceRow * m_lineHeight) : QPointF(left, 0));
        shown.last = i + 1 == l.pieces.size();
        shown.preeditAt = p.preeditAt;
        shown.preeditLength = p.preeditLength;
        shown.preeditCursor = m_preeditCursor;
        show(shown);
        start += p.length;
        pieceRow += p.rows;
        left += p.width;
    }
    if (!wraps() && left > m_widestMeasured + 0.5) {
        m_widestMeasured = left;
        m_estimatesChanged = true;
    }
}

void TextLayoutCache::prepareEstimates()
{
    if (!wraps() || m_rows.counted())
        return;
    // The first lines, laid out for the first screen anyway, tell the width
    // of a character before anything is estimated with it.
    const qsizetype lines = m_store.lineCount();
    for (qsizetype l = 0; l < std::min<qsizetype>(lines, 64) && !m_charWidthKnown; ++l)
        measure(l, line(l), 0);
}

qint64 TextLayoutCache::rowsBefore(qsizetype lineIndex)
{
    prepareEstimates();
    return m_rows.rowsBefore(lineIndex);
}

qint64 TextLayoutCache::totalRows()
{
    prepareEstimates();
    return m_rows.totalRows();
}

qsizetype TextLayoutCache::lineForRow(qint64 row, qint64 *rowInLine)
{
    prepareEstimates();
    return m_rows.lineForRow(row, rowInLine);
}

qreal TextLayoutCache::widestLineEstimate()
{
    return std::max(qreal(m_rows.longestLine()) * m_charWidth, m_widestMeasured);
}

void TextLayoutCache::trim(qsizetype first, qsizetype last)
{
    ++m_stamp;
    if (m_lines.size() > keptLines) {
        for (auto it = m_lines.begin(); it != m_lines.end();) {
            if (it->first < first - 32 || it->first > last + 32)
                it = m_lines.erase(it);
            else
                ++it;
        }
    }
    // Of long lines, only the layouts of pieces lately used are kept; what
    // was measured stays.
    for (auto &[index, l] : m_lines) {
        if (l.pieces.size() < 2)
            continue;
        for (Piece &p : l.pieces) {
            if (p.layout && p.used + 4 < m_stamp)
                p.layout.reset();
        }
    }
}
