#include "editor/rowestimates.h"

#include "editor/textstore.h"

#include <algorithm>

namespace {

constexpr qsizetype linesPerBlock = 256;

} // namespace

RowEstimates::RowEstimates(const TextStore &store)
    : m_store(store)
{
}

void RowEstimates::setCharactersPerRow(qsizetype characters)
{
    characters = std::max<qsizetype>(0, characters);
    if (characters == m_perRow)
        return;
    m_perRow = characters;
    m_blocksValid = false;
}

void RowEstimates::reset()
{
    m_blocksValid = false;
    m_longest = -1;
}

qint64 RowEstimates::rowsOf(qsizetype first, qsizetype last) const
{
    if (!wraps())
        return last - first + 1;
    // Each line's start read once: its length is the next start less one.
    const qsizetype lines = m_store.lineCount();
    const qsizetype perRow = m_perRow;
    // A text kept in its file is not read line by line for an estimate: its
    // lines are taken to be as long as they are on average.
    if (m_store.file()) {
        const qsizetype count = last - first + 1;
        const qsizetype end = last + 1 < lines ? m_store.lineStart(last + 1) - 1 : m_store.length();
        const qsizetype average = (end - m_store.lineStart(first) - (count - 1)) / std::max<qsizetype>(count, 1);
        return count * std::max<qint64>(1, (average + perRow - 1) / perRow);
    }
    qint64 rows = 0;
    qsizetype start = m_store.lineStart(first);
    for (qsizetype l = first; l <= last; ++l) {
        const qsizetype next = l + 1 < lines ? m_store.lineStart(l + 1) : m_store.length() + 1;
        const qsizetype length = next - start - 1;
        rows += length <= perRow ? 1 : (length + perRow - 1) / perRow;
        start = next;
    }
    return rows;
}

int RowEstimates::rowsFor(qsizetype length) const
{
    if (!wraps())
        return 1;
    return int(std::max<qsizetype>(1, (length + m_perRow - 1) / m_perRow));
}

int RowEstimates::lineRows(qsizetype line) const
{
    return rowsFor(m_store.lineLength(line));
}

void RowEstimates::aboutToReplace(qsizetype position, qsizetype removed)
{
    m_editFirstLine = m_store.lineAt(position);
    m_editOldLastLine = m_store.lineAt(position + removed);
    m_editOldLineCount = m_store.lineCount();
    m_editOldRows = wraps() ? rowsOf(m_editFirstLine, m_editOldLastLine) : 0;
}

void RowEstimates::replaced(qsizetype position, qsizetype inserted)
{
    const qsizetype first = m_editFirstLine;
    const qsizetype oldLast = m_editOldLastLine;
    const qsizetype newLast = m_store.lineAt(position + inserted);
    const qsizetype delta = m_store.lineCount() - m_editOldLineCount;
    if (wraps() && m_blocksValid) {
        // Only the block that holds the edit changes, when it holds all of it.
        const qint64 rowsDelta = rowsOf(first, newLast) - m_editOldRows;
        qsizetype blockStart = 0;
        size_t b = 0;
        while (b + 1 < m_blocks.size() && blockStart + m_blocks[b].lines <= first)
            blockStart += m_blocks[b++].lines;
        Block &block = m_blocks[b];
        if (oldLast < blockStart + block.lines || b + 1 == m_blocks.size()) {
            block.lines += delta;
            block.rows += rowsDelta;
            m_totalRows += rowsDelta;
            if (b + 1 == m_blocks.size() && block.lines > 2 * linesPerBlock) {
                // Lines added at the end by the thousand (a text coming in
                // from its file) make blocks of their own.
                m_totalRows -= block.rows;
                m_blocks.pop_back();
                appendBlocks(blockStart);
            } else if (block.lines > 4 * linesPerBlock || (block.lines <= 0 && m_blocks.size() > 1)) {
                m_blocksValid = false;
            }
        } else {
            m_blocksValid = false;
        }
    }
    updateLongest(first, newLast);
}

// A text kept in its file has a bound for its longest line without reading
// its lines, which a text growing from its file takes in by the thousand.
void RowEstimates::updateLongest(qsizetype first, qsizetype last)
{
    if (m_longest < 0)
        return;
    if (m_store.file()) {
        m_longest = m_store.longestLineBound();
        return;
    }
    for (qsizetype l = first; l <= last; ++l)
        m_longest = std::max(m_longest, m_store.lineLength(l));
}

void RowEstimates::changedFrom(qsizetype first, qsizetype last)
{
    m_blocksValid = false;
    updateLongest(first, last);
}

void RowEstimates::ensureBlocks()
{
    if (m_blocksValid)
        return;
    m_blocks.clear();
    m_blocks.reserve(size_t(m_store.lineCount() / linesPerBlock + 1));
    m_totalRows = 0;
    appendBlocks(0);
    m_blocksValid = true;
}

void RowEstimates::appendBlocks(qsizetype from)
{
    const qsizetype lines = m_store.lineCount();
    for (qsizetype first = from; first < lines; first += linesPerBlock) {
        const qsizetype count = std::min(linesPerBlock, lines - first);
        const qint64 rows = rowsOf(first, first + count - 1);
        m_blocks.push_back({count, rows});
        m_totalRows += rows;
    }
}

qint64 RowEstimates::rowsBefore(qsizetype line)
{
    if (!wraps())
        return line;
    ensureBlocks();
    qsizetype blockStart = 0;
    qint64 rows = 0;
    for (const Block &block : m_blocks) {
        if (line < blockStart + block.lines)
            break;
        blockStart += block.lines;
        rows += block.rows;
    }
    return rows + (line > blockStart ? rowsOf(blockStart, line - 1) : 0);
}

qint64 RowEstimates::totalRows()
{
    if (!wraps())
        return m_store.lineCount();
    ensureBlocks();
    return m_totalRows;
}

qsizetype RowEstimates::lineForRow(qint64 row, qint64 *rowInLine)
{
    const qsizetype lines = m_store.lineCount();
    if (!wraps()) {
        *rowInLine = 0;
        return qsizetype(std::clamp<qint64>(row, 0, lines - 1));
    }
    ensureBlocks();
    qsizetype blockStart = 0;
    qint64 r = 0;
    for (size_t b = 0; b + 1 < m_blocks.size() && row >= r + m_blocks[b].rows; ++b) {
        blockStart += m_blocks[b].lines;
        r += m_blocks[b].rows;
    }
    for (qsizetype l = blockStart; l < lines; ++l) {
        const int rows = lineRows(l);
        if (row < r + rows || l == lines - 1) {
            *rowInLine = std::clamp<qint64>(row - r, 0, rows - 1);
            return l;
        }
        r += rows;
    }
    *rowInLine = 0;
    return lines - 1;
}

qsizetype RowEstimates::longestLine()
{
    if (m_longest < 0)
        m_longest = m_store.longestLineBound();
    if (m_longest < 0) {
        m_longest = 0;
        const qsizetype lines = m_store.lineCount();
        qsizetype start = 0;
        for (qsizetype l = 0; l < lines; ++l) {
            const qsizetype next = l + 1 < lines ? m_store.lineStart(l + 1) : m_store.length() + 1;
            m_longest = std::max(m_longest, next - start - 1);
            start = next;
        }
    }
    return m_longest;
}
