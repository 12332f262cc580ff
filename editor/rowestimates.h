#pragma once

#include <QtGlobal>

#include <vector>

class TextStore;

// How many screen rows the lines of a text take, estimated from their
// lengths alone, so that a scroll bar spans a text of any size without
// laying it out.
//
// Unwrapped, every line is a row. Wrapped, a line takes as many rows as its
// length needs at so many characters a row; the rows are summed in blocks of
// lines, and an edit changes the sum of its block only. A text kept in its
// file is not read line by line: its lines count as long as they are on
// average, and its longest line is the bound the store gives.
class RowEstimates
{
public:
    explicit RowEstimates(const TextStore &store);

    // Characters a wrapped row is taken to hold; 0 for no wrapping.
    void setCharactersPerRow(qsizetype characters);
    bool wraps() const { return m_perRow > 0; }
    // Whether the blocks are summed already; if not, the next question
    // sums them.
    bool counted() const { return m_blocksValid; }
    // Sums the blocks again when next asked.
    void invalidate() { m_blocksValid = false; }

    // The whole text was replaced.
    void reset();
    // Around an edit of the store: [position, position + removed) is about
    // to be replaced, then inserted characters stand there.
    void aboutToReplace(qsizetype position, qsizetype removed);
    void replaced(qsizetype position, qsizetype inserted);
    // The text changed in a way not told before (undo): lines [first, last]
    // are new, and the lines after them may have moved.
    void changedFrom(qsizetype first, qsizetype last);

    // Rows that this many characters of a line take; at least 1.
    int rowsFor(qsizetype length) const;
    // Rows of a line.
    int lineRows(qsizetype line) const;
    qint64 totalRows();
    qint64 rowsBefore(qsizetype line);
    // The line that holds row, and the row's index in it.
    qsizetype lineForRow(qint64 row, qint64 *rowInLine);
    // The characters of the longest line (of a text kept in its file, a
    // bound for them).
    qsizetype longestLine();

private:
    struct Block
    {
        qsizetype lines = 0;
        qint64 rows = 0;
    };

    qint64 rowsOf(qsizetype first, qsizetype last) const;
    void ensureBlocks();
    // Blocks for the lines from from to the end, after those there are.
    void appendBlocks(qsizetype from);
    void updateLongest(qsizetype first, qsizetype last);

    const TextStore &m_store;
    qsizetype m_perRow = 0;
    std::vector<Block> m_blocks;
    bool m_blocksValid = false;
    qint64 m_totalRows = 0;
    // -1 until first asked.
    qsizetype m_longest = -1;

    // Kept between aboutToReplace and replaced.
    qsizetype m_editFirstLine = 0;
    qsizetype m_editOldLastLine = 0;
    qsizetype m_editOldLineCount = 0;
    qint64 m_editOldRows = 0;
};
