#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <unordered_map>
#include <vector>

class TextStore;

// The layout of the lines a text view shows, made only for the lines and the
// parts of long lines that are in sight.
//
// A line is laid out in pieces: a short line is one piece, a long one is cut
// into pieces of a few thousand characters (after a space where there is one
// near, never inside a surrogate pair). A piece not yet laid out counts with
// an estimate from its length, so a line of megabytes needs only its pieces
// in sight laid out. Wrapped, each piece starts a row of its own; unwrapped,
// the pieces stand side by side.
//
// Rows of the whole text for the scroll bar are estimated from line lengths,
// summed in blocks of lines; an edit changes the sum of its block only.
class TextLayoutCache
{
public:
    explicit TextLayoutCache(const TextStore &store);
    ~TextLayoutCache();

    void setFont(const QFont &font);
    // Wrap width in pixels; 0 for no wrapping.
    void setWrapWidth(qreal width);
    void setTabStopDistance(qreal distance);
    // Text shown at a position without being in the text (an input method's
    // composition), underlined; empty for none.
    void setPreedit(qsizetype position, const QString &text, int cursor);
    bool hasPreedit() const { return !m_preedit.isEmpty(); }

    qreal lineHeight() const { return m_lineHeight; }
    qreal ascent() const { return m_ascent; }
    const QFontMetricsF &metrics() const { return m_metrics; }
    bool wraps() const { return m_wrapWidth > 0; }

    // The whole text was replaced.
    void reset();
    // Around an edit of the store: [position, position + removed) is about
    // to be replaced, then inserted characters stand there.
    void aboutToReplace(qsizetype position, qsizetype removed);
    void replaced(qsizetype position, qsizetype inserted);
    // The text changed in a way not told before (undo): lines [first, last]
    // are new, and the lines after them may have moved.
    void changedFrom(qsizetype first, qsizetype last);

    // Visual rows of a line (1 without wrapping); laying out a short line,
    // estimating the pieces of a long one not yet laid out.
    int rowCount(qsizetype line);
    // The row of an offset in its line; at a wrap point the offset belongs
    // to the row it starts.
    int rowOf(qsizetype line, qsizetype offset);
    // Lays out the pieces of a long line that hold the rows within around
    // of offset's, so that rows counted there stay where they are.
    void settleRows(qsizetype line, qsizetype offset, int around);
    // The same for the rows [firstRow, lastRow] of a line.
    void settleRowRange(qsizetype line, int firstRow, int lastRow);
    // The offsets [start, end) of a row in its line.
    std::pair<qsizetype, qsizetype> rowRange(qsizetype line, int row);
    // The x of the caret at offset, from the start of its row.
    qreal xOf(qsizetype line, qsizetype offset);
    // The offset nearest x in the row.
    qsizetype offsetAt(qsizetype line, int row, qreal x);
    // The width of a line without wrapping, estimated where not laid out.
    qreal lineWidth(qsizetype line);

    struct DrawContext
    {
        QPainter *painter = nullptr;
        // Where the line's row 0 starts, in viewport pixels.
        QPointF origin;
        // Rows wanted: [firstRow, lastRow].
        int firstRow = 0;
        int lastRow = 0;
        qreal clipLeft = 0;
        qreal clipRight = 0;
        // The selection within the line, in offsets (may run past its end
        // when the line break is selected).
        qsizetype selectionStart = 0;
        qsizetype selectionEnd = 0;
        QColor highlight;
        QColor highlightedText;
        // The caret's offset in the line, or -1.
        qsizetype caret = -1;
        bool blockCaret = false;
        QColor caretColor;
    };
    void draw(qsizetype line, const DrawContext &context);

    // Estimates for the scroll bars.
    qint64 totalRows();
    qint64 rowsBefore(qsizetype line);
    // The line that holds estimated row index, and the row's index in it.
    qsizetype lineForRow(qint64 row, qint64 *rowInLine);
    int estimatedRows(qsizetype line) const;
    qreal widestLineEstimate();
    // Whether estimates changed since last asked (the width of a character
    // was learnt from the text).
    bool takeEstimatesChanged() { return std::exchange(m_estimatesChanged, false); }

    // Keep layouts of lines in [first, last] and drop the rest when many.
    void trim(qsizetype first, qsizetype last);

    // How many characters were shaped so far; for tests.
    static qint64 shapedCharacters;

private:
    struct Piece
    {
        qsizetype length = 0;
        std::unique_ptr<QTextLayout> layout;
        int rows = 1;
        qreal width = 0;
        // rows and width are known (the layout may have been dropped since).
        bool measured = false;
        // Wrapped, it gave its last row to the next piece.
        bool flowed = false;
        quint32 used = 0;
        // The preedit it was laid out with: where in the piece, or -1.
        qsizetype preeditAt = -1;
        int preeditLength = 0;
    };
    struct Line
    {
        qsizetype length = 0;
        std::vector<Piece> pieces;
    };
    struct PieceRef
    {
        Piece *piece = nullptr;
        QTextLayout *layout = nullptr;
        qsizetype start = 0;   // offset of the piece in its line
        int firstRow = 0;      // wrapped: its first row in the line
        qreal x = 0;           // unwrapped: its x in the line
    };

    Line &line(qsizetype index);
    void updateLongestLength(qsizetype first, qsizetype last);
    // Blocks for the lines from from to the end, after those there are.
    void appendBlocks(qsizetype from);
    void cut(qsizetype lineIndex, Line &l);
    // Lays out the first piece not yet measured that holds rows of
    // [firstRow, lastRow]; false when there is none.
    bool measureUnsettledPiece(qsizetype lineIndex, int firstRow, int lastRow);
    void measure(qsizetype lineIndex, Line &l, size_t pieceIndex);
    // The piece's layout, made again if it was dropped.
    QTextLayout *layoutOf(qsizetype lineIndex, Line &l, size_t pieceIndex);
    void splitPiece(qsizetype lineIndex, Line &l, size_t pieceIndex);
    bool holdsOffset(const Line &l, size_t pieceIndex, qsizetype start, qsizetype offset) const;
    PieceRef pieceAtOffset(qsizetype lineIndex, qsizetype offset);
    PieceRef pieceAtRow(qsizetype lineIndex, int row);
    int estimatePieceRows(qsizetype length) const;
    int rowsOf(const Piece &p) const;
    qreal widthOf(const Piece &p) const;
    qreal estimateWidth(qsizetype length) const;
    int toLayout(const Piece &p, qsizetype offset) const;
    qsizetype fromLayout(const Piece &p, int index) const;
    void ensureBlocks();
    qint64 estimatedRowsOf(qsizetype first, qsizetype last) const;
    qsizetype charactersPerRow() const;
    void invalidateMeasures();

    const TextStore &m_store;
    QFont m_font;
    QFontMetricsF m_metrics;
    qreal m_lineHeight = 1;
    qreal m_ascent = 0;
    qreal m_charWidth = 1;
    bool m_fixedPitch = false;
    bool m_charWidthKnown = false;
    bool m_estimatesChanged = false;
    qreal m_wrapWidth = 0;
    qreal m_tabStopDistance = 80;
    std::unordered_map<qsizetype, Line> m_lines;

    qsizetype m_preeditPosition = -1;
    qsizetype m_preeditLine = -1;
    qsizetype m_preeditOffset = -1;
    QString m_preedit;
    int m_preeditCursor = 0;

    // Wrapped, the estimated rows of consecutive blocks of lines; an edit
    // within a block changes only it.
    struct Block
    {
        qsizetype lines = 0;
        qint64 rows = 0;
    };
    std::vector<Block> m_blocks;
    bool m_blocksValid = false;
    qint64 m_totalRows = 0;
    qsizetype m_longestLength = -1;
    qreal m_widestMeasured = 0;
    quint32 m_stamp = 1;

    // Kept between aboutToReplace and replaced.
    qsizetype m_editFirstLine = 0;
    qsizetype m_editOldLastLine = 0;
    qsizetype m_editOldLineCount = 0;
    qsizetype m_editRemoved = 0;
    qint64 m_editOldRows = 0;
};
