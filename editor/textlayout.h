#pragma once

#include "editor/rowestimates.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QTextLayout>

#include <functional>
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
// Rows of the whole text for the scroll bar are RowEstimates, at as many
// characters a row as the wrap width holds of the font's.
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

    // A piece of a line laid out, to be painted.
    struct ShownPiece
    {
        QTextLayout *layout = nullptr;
        // Its offsets in its line: [start, start + length).
        qsizetype start = 0;
        qsizetype length = 0;
        // Where its layout stands.
        QPointF at;
        // The line's last piece, which holds the line's end too.
        bool last = false;
        qsizetype preeditAt = -1;
        int preeditLength = 0;
        int preeditCursor = 0;

        bool holds(qsizetype offset) const
        {
            return (offset >= start && offset < start + length) || (last && offset == start + length);
        }
        // An offset of the line as an index into the layout, counting the
        // preedit shown before it.
        int toLayout(qsizetype offset) const;
        // The same for the caret, which stands in the preedit at its cursor.
        int caretIndex(qsizetype offset) const;
    };
    // Lays out the pieces of a line that show in its rows [firstRow, lastRow]
    // wrapped, or between clipLeft and clipRight unwrapped, and gives them
    // to show in turn; origin is where the line's row 0 starts.
    void showPieces(qsizetype line, QPointF origin, int firstRow, int lastRow, qreal clipLeft, qreal clipRight,
                    const std::function<void(const ShownPiece &)> &show);

    // Estimates for the scroll bars, laying out the first lines to learn the
    // width of a character first.
    qint64 totalRows();
    qint64 rowsBefore(qsizetype line);
    // The line that holds estimated row index, and the row's index in it.
    qsizetype lineForRow(qint64 row, qint64 *rowInLine);
    int estimatedRows(qsizetype line) const;
    qreal widestLineEstimate();
    // The width of a character, as far as it is known: the text laid out
    // tells it for a font of varying widths.
    qreal characterWidth() const { return m_charWidth; }
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
    int rowsOf(const Piece &p) const;
    qreal widthOf(const Piece &p) const;
    qreal estimateWidth(qsizetype length) const;
    int toLayout(const Piece &p, qsizetype offset) const;
    qsizetype fromLayout(const Piece &p, int index) const;
    void prepareEstimates();
    // For the estimates: 0 when not wrapping.
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

    RowEstimates m_rows;
    qreal m_widestMeasured = 0;
    quint32 m_stamp = 1;

    // Kept between aboutToReplace and replaced.
    qsizetype m_editFirstLine = 0;
    qsizetype m_editOldLastLine = 0;
    qsizetype m_editOldLineCount = 0;
    qsizetype m_editRemoved = 0;
};
