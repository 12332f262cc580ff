#pragma once

#include "editor/lineend.h"

#include <QString>
#include <QStringView>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// What a snapshot of a text in memory reads: its memory as it was laid out
// when the snapshot was taken. The text ends the lease, under the mutex,
// before it changes any of that memory; a reader copies a piece at a time
// under the same mutex.
struct GapTextLease
{
    std::mutex mutex;
    std::atomic<bool> ended = false;
    const char16_t *chars = nullptr;
    qsizetype gapStart = 0;
    qsizetype gapEnd = 0;
    qsizetype size = 0;
    const quint64 *lines = nullptr;
    qsizetype lineGapStart = 0;
    qsizetype lineGapEnd = 0;

    // The text as runs of characters and line breaks; false when the lease
    // ended before everything was read.
    bool read(const std::function<void(QStringView text)> &onText,
              const std::function<void(LineEnd lineEnd)> &onBreak);
};

// A text in memory, each line break one u'\n' with its own line end.
//
// The characters sit in one buffer with a gap at the place of the last edit,
// so typing moves nothing, and the start of every line is kept in a second
// buffer with a gap at the line of the last edit, so finding a line is a
// binary search and typing in one place changes no line's entry.
class GapText
{
public:
    // What an edit took out: its characters and the line end of each break.
    struct Cut
    {
        QString text;
        std::vector<LineEnd> lineEnds;

        qsizetype length() const { return text.size(); }
        void append(Cut &&after);
        void prepend(Cut &&before);
    };

    GapText() = default;
    ~GapText();
    GapText(const GapText &) = delete;
    GapText &operator=(const GapText &) = delete;

    // Takes the text over, its line breaks as a file has them, converting it
    // in place; gives how many breaks of each kind there were.
    std::array<qsizetype, lineEndKinds> load(QString &&text);

    qsizetype length() const { return m_chars.size() - (m_gapEnd - m_gapStart); }
    qsizetype lineCount() const { return qsizetype(m_lines.size()) - (m_lineGapEnd - m_lineGapStart) + 1; }
    qsizetype lineStart(qsizetype line) const;
    qsizetype lineAt(qsizetype position) const;
    LineEnd lineEnd(qsizetype line) const;
    QChar at(qsizetype position) const { return QChar(chars()[physical(position)]); }
    void read(qsizetype position, qsizetype count,
              const std::function<void(QStringView part, qsizetype start)> &onPart) const;
    QStringView contiguous(qsizetype from, qsizetype to) const;
    // The whole text as runs of characters and line breaks.
    void readRuns(const std::function<void(QStringView text)> &onText,
                  const std::function<void(LineEnd lineEnd)> &onBreak) const;

    // Takes [position, position + count) out and gives it.
    Cut take(qsizetype position, qsizetype count);
    // Puts stored (breaks as u'\n') in at position, each break with
    // lineEnd.
    void insert(qsizetype position, QStringView stored, LineEnd lineEnd);
    // Puts back what take() gave.
    void put(qsizetype position, Cut &&cut);

    // The memory as it is now, for a snapshot; what it reads stays as it is
    // until an edit needs it, which ends the lease.
    std::shared_ptr<GapTextLease> lease() const;
    void endSnapshot() const;

private:
    bool inSnapshot() const;
    void moveGap(qsizetype position) const;
    void ensureGap(qsizetype characters);
    void moveLineGap(qsizetype line);
    void ensureLineGap(qsizetype lines);
    // Removes without keeping anything; gives the removed line ends in order.
    void erase(qsizetype position, qsizetype count, std::vector<LineEnd> *lineEnds);
    // Inserts text already in the store's form: breaks as u'\n', each
    // taking the next of lineEnds.
    void insertStored(qsizetype position, QStringView text, const LineEnd *lineEnds);

    char16_t *chars() const { return reinterpret_cast<char16_t *>(m_chars.data()); }
    qsizetype physical(qsizetype position) const { return position < m_gapStart ? position : position + (m_gapEnd - m_gapStart); }
    // The entry of the line break that ends line, wherever it lies.
    quint64 lineEntry(qsizetype line) const;
    // How many lines start at or before position, less the first.
    qsizetype linesStartingBy(qsizetype position) const;

    // The characters: [0, m_gapStart) and [m_gapEnd, m_chars.size()). A
    // QString, so that a loaded file's text becomes the store without a copy.
    // Where the gap lies is no part of the text, so reading may move it.
    mutable QString m_chars;
    mutable qsizetype m_gapStart = 0;
    mutable qsizetype m_gapEnd = 0;
    // One entry per line after the first: the line's start and, in the low
    // three bits, the line end of the break before it. Entries before the gap
    // count from the start of the text, those after it from the end, so
    // that edits before them change nothing.
    std::vector<quint64> m_lines;
    qsizetype m_lineGapStart = 0;
    qsizetype m_lineGapEnd = 0;
    mutable std::shared_ptr<GapTextLease> m_lease;
    // What contiguous() gives while a snapshot keeps the gap where it is.
    mutable QString m_contiguousCopy;
};
