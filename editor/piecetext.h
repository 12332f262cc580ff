#pragma once

#include "editor/filetext.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <vector>

// A text kept in its file: a table of pieces, each a stretch of the file or
// of the text added since, read from the file a block at a time. Each line
// break counts one character, u'\n' in what it gives, with its own line end.
class PieceText
{
public:
    // A stretch of the file, or of the text added since.
    struct Piece
    {
        bool added = false;
        qsizetype start = 0;
        qsizetype length = 0;
        qsizetype breaks = 0;
    };

    // What an edit took out of the table.
    struct Cut
    {
        std::vector<Piece> pieces;

        qsizetype length() const;
        void append(Cut &&after);
        void prepend(Cut &&before);
    };

    // A stretch of the file (fileStart from 0), or else text whose line
    // breaks are as a file has them.
    struct Stretch
    {
        qsizetype fileStart = -1;
        qsizetype fileLength = 0;
        QString text;
    };

    // [position, position + removed) of the text, to be replaced by text,
    // whose breaks are u'\n' already.
    struct Replacement
    {
        qsizetype position = 0;
        qsizetype removed = 0;
        QString text;
    };

    // The table as it stood, for reading while the text goes on being edited.
    struct Copy
    {
        std::shared_ptr<const FileText> file;
        std::vector<Piece> pieces;
        QString added;
        std::vector<qsizetype> addedBreaks;
        std::vector<LineEnd> addedLineEnds;

        bool read(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                  const std::function<void(QStringView text)> &onText,
                  const std::function<void(LineEnd lineEnd)> &onBreak) const;
    };

    // The whole file, taken in as its index goes on.
    void load(std::shared_ptr<const FileText> file);
    void load(std::shared_ptr<const FileText> file, const std::vector<Stretch> &stretches);
    // Whether file holds the whole text as it is now.
    bool holdsAll(const FileText &file) const;
    // The text is read from file from now on; holdsAll() must say so.
    void rebase(std::shared_ptr<const FileText> file);
    // How much of cut is read from the file.
    static qsizetype fileLength(const Cut &cut);
    // Copies what cut takes from the file into the added text, so that it
    // no longer needs the file.
    void keepApart(Cut &cut);

    const FileText *file() const { return m_file.get(); }
    bool growing() const { return m_growing; }
    double grownShare() const;
    qsizetype grow();
    // Waits for the whole index and takes it in.
    void growWhole();
    void waitForLines(qsizetype lines) const;
    qsizetype longestLineBound() const { return m_file->longestLine() + m_longestAdded; }

    bool readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                   const std::function<void(QStringView text)> &onText,
                   const std::function<void(LineEnd lineEnd)> &onBreak) const;
    std::shared_ptr<const Copy> copy() const;
    bool findAllInBytes(QStringView what, qsizetype from, const std::function<bool(qsizetype)> &onHit) const;
    bool mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const;

    qsizetype length() const { return m_pieceEnds.empty() ? 0 : m_pieceEnds.back(); }
    qsizetype lineCount() const { return (m_pieceBreakEnds.empty() ? 0 : m_pieceBreakEnds.back()) + 1; }
    qsizetype lineStart(qsizetype line) const;
    qsizetype lineAt(qsizetype position) const;
    LineEnd lineEnd(qsizetype line) const;
    QChar at(qsizetype position) const;
    void read(qsizetype position, qsizetype count,
              const std::function<void(QStringView part, qsizetype start)> &onPart) const;
    QString text(qsizetype position, qsizetype count) const;
    QStringView contiguous(qsizetype from, qsizetype to) const;

    // Takes [position, position + count) out of the table and gives it.
    Cut take(qsizetype position, qsizetype count);
    // Puts stored (breaks as u'\n') in at position, each break with
    // lineEnd.
    void insert(qsizetype position, QStringView stored, LineEnd lineEnd);
    // Puts back what take() gave.
    void put(qsizetype position, Cut &&cut);
    // Makes the replacements, in order of position and apart, building the
    // table once; gives what stood from the first to the end of the last,
    // and in inserted how long that stretch is now.
    Cut replaceEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd, qsizetype *inserted);

private:
    // The table of pieces, the part the index has not gone through yet
    // included.
    std::vector<Piece> wholePieces() const;
    qsizetype pieceIndex(qsizetype position) const;
    qsizetype pieceStart(qsizetype index) const { return index == 0 ? 0 : m_pieceEnds[size_t(index - 1)]; }
    qsizetype pieceBreaksBefore(qsizetype index) const { return index == 0 ? 0 : m_pieceBreakEnds[size_t(index - 1)]; }
    qsizetype breaksIn(bool added, qsizetype start, qsizetype length) const;
    qsizetype fileBreaksBefore(qsizetype position) const;
    qsizetype breakPosition(qsizetype breakIndex, LineEnd *lineEnd) const;
    void splitPieceAt(qsizetype at);
    qsizetype piecesBefore(qsizetype position) const;
    void insertPieces(qsizetype position, const std::vector<Piece> &pieces);
    Piece addText(QStringView stored, LineEnd lineEnd);
    Piece addFileText(const FileText &file, qsizetype start, qsizetype length);
    void sumPieces();
    static bool readPieceTable(const FileText &file, const std::vector<Piece> &pieces, const QString &added,
                               const std::vector<qsizetype> &addedBreaks, const std::vector<LineEnd> &addedLineEnds,
                               const std::function<void(qsizetype, qsizetype)> &onFile,
                               const std::function<void(QStringView)> &onText,
                               const std::function<void(LineEnd)> &onBreak);

    std::shared_ptr<const FileText> m_file;
    bool m_growing = false;
    qint64 m_grownBytes = 0;
    std::vector<Piece> m_pieces;
    // Where each piece ends, and the breaks up to its end.
    std::vector<qsizetype> m_pieceEnds;
    std::vector<qsizetype> m_pieceBreakEnds;
    // The longest piece of the text added since.
    qsizetype m_longestAdded = 0;
    // The text added since the file was read, breaks as u'\n', with the
    // place and line end of each break.
    QString m_added;
    std::vector<qsizetype> m_addedBreaks;
    std::vector<LineEnd> m_addedLineEnds;
    // What contiguous() gives a view of: a block, or a copy.
    mutable std::shared_ptr<const FileText::Decoded> m_contiguousBlock;
    mutable QString m_contiguousCopy;
};
