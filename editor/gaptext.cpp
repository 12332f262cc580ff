#include "editor/gaptext.h"

#include "editor/textruns.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kindBits = 3;
constexpr quint64 kindMask = (1u << kindBits) - 1;

quint64 entry(qsizetype start, LineEnd lineEnd)
{
    return (quint64(start) << kindBits) | quint64(lineEnd);
}

qsizetype entryValue(quint64 e)
{
    return qsizetype(e >> kindBits);
}

LineEnd entryLineEnd(quint64 e)
{
    return LineEnd(e & kindMask);
}

// Room left in a gap when it has to grow: more for a bigger text, so that
// growing stays rare.
qsizetype slackFor(qsizetype size)
{
    return std::max<qsizetype>(4096, size / 16);
}

} // namespace

bool GapTextLease::read(const std::function<void(QStringView text)> &onText,
                        const std::function<void(LineEnd lineEnd)> &onBreak)
{
    const qsizetype length = size - (gapEnd - gapStart);
    constexpr qsizetype piece = 1 << 16;
    std::vector<char16_t> buffer(size_t(std::min(piece, length)));
    std::vector<LineEnd> lineEnds;
    qsizetype nextLine = 0;
    for (qsizetype at = 0; at < length;) {
        const qsizetype count = std::min(piece, length - at);
        const QStringView copied(buffer.data(), count);
        lineEnds.clear();
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (ended)
                return false;
            const qsizetype before = std::clamp<qsizetype>(gapStart - at, 0, count);
            std::memcpy(buffer.data(), chars + at, size_t(before) * sizeof(char16_t));
            std::memcpy(buffer.data() + before, chars + gapEnd + (at + before - gapStart),
                        size_t(count - before) * sizeof(char16_t));
            for (qsizetype breaks = copied.count(u'\n'); breaks > 0; --breaks) {
                const qsizetype index = nextLine < lineGapStart ? nextLine : nextLine + (lineGapEnd - lineGapStart);
                lineEnds.push_back(entryLineEnd(lines[index]));
                ++nextLine;
            }
        }
        readRuns(copied, [&](qsizetype n) { return lineEnds[size_t(n)]; }, onText, onBreak);
        at += count;
    }
    return true;
}

void GapText::Cut::append(Cut &&after)
{
    text += after.text;
    lineEnds.insert(lineEnds.end(), after.lineEnds.begin(), after.lineEnds.end());
}

void GapText::Cut::prepend(Cut &&before)
{
    text.prepend(before.text);
    lineEnds.insert(lineEnds.begin(), before.lineEnds.begin(), before.lineEnds.end());
}

GapText::~GapText()
{
    endSnapshot();
}

std::shared_ptr<GapTextLease> GapText::lease() const
{
    endSnapshot();
    auto lease = std::make_shared<GapTextLease>();
    lease->chars = chars();
    lease->gapStart = m_gapStart;
    lease->gapEnd = m_gapEnd;
    lease->size = m_chars.size();
    lease->lines = m_lines.data();
    lease->lineGapStart = m_lineGapStart;
    lease->lineGapEnd = m_lineGapEnd;
    m_lease = lease;
    return lease;
}

bool GapText::inSnapshot() const
{
    // A snapshot that nobody holds any more is read by nobody.
    if (m_lease && m_lease.use_count() == 1)
        m_lease.reset();
    return m_lease != nullptr;
}

void GapText::endSnapshot() const
{
    if (!inSnapshot())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_lease->mutex);
        m_lease->ended = true;
    }
    m_lease.reset();
}

std::array<qsizetype, lineEndKinds> GapText::load(QString &&text)
{
    std::array<qsizetype, lineEndKinds> counts {};
    endSnapshot();
    m_chars = std::move(text);
    m_lines.clear();
    const qsizetype size = m_chars.size();
    const qsizetype out = storeLineBreaks(chars(), size, [&](LineEnd kind, qsizetype at) {
        ++counts[size_t(kind)];
        m_lines.push_back(entry(at + 1, kind));
    });
    m_gapStart = out;
    m_gapEnd = size;
    m_lineGapStart = qsizetype(m_lines.size());
    m_lineGapEnd = m_lineGapStart;
    return counts;
}

quint64 GapText::lineEntry(qsizetype line) const
{
    return m_lines[size_t(line < m_lineGapStart ? line : line + (m_lineGapEnd - m_lineGapStart))];
}

qsizetype GapText::lineStart(qsizetype line) const
{
    if (line <= 0)
        return 0;
    const qsizetype value = entryValue(lineEntry(line - 1));
    return line - 1 < m_lineGapStart ? value : length() - value;
}

qsizetype GapText::linesStartingBy(qsizetype position) const
{
    // Line starts grow with the line number: the first line after the one
    // that holds position is the first start beyond it.
    qsizetype low = 0;
    qsizetype high = lineCount() - 1;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (lineStart(middle + 1) <= position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype GapText::lineAt(qsizetype position) const
{
    return linesStartingBy(position);
}

LineEnd GapText::lineEnd(qsizetype line) const
{
    return entryLineEnd(lineEntry(line));
}

void GapText::read(qsizetype position, qsizetype count,
                   const std::function<void(QStringView part, qsizetype start)> &onPart) const
{
    position = std::clamp<qsizetype>(position, 0, length());
    const qsizetype end = position + std::clamp<qsizetype>(count, 0, length() - position);
    if (position < m_gapStart && position < end) {
        const qsizetype before = std::min(end, m_gapStart);
        onPart(QStringView(chars() + position, before - position), position);
        position = before;
    }
    if (position < end)
        onPart(QStringView(chars() + physical(position), end - position), position);
}

void GapText::readRuns(const std::function<void(QStringView text)> &onText,
                       const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    // The line index tells each break's line end: those before the gap, then
    // those after it.
    qsizetype line = 0;
    read(0, length(), [&](QStringView part, qsizetype) {
        ::readRuns(part, [&](qsizetype) { return lineEnd(line++); }, onText, onBreak);
    });
}

QStringView GapText::contiguous(qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, length());
    to = std::clamp<qsizetype>(to, from, length());
    if (from < m_gapStart && m_gapStart < to) {
        if (inSnapshot()) {
            m_contiguousCopy.clear();
            read(from, to - from, [this](QStringView part, qsizetype) { m_contiguousCopy += part; });
            return m_contiguousCopy;
        }
        moveGap(m_gapStart - from < to - m_gapStart ? from : to);
    }
    return QStringView(chars() + physical(from), to - from);
}

void GapText::moveGap(qsizetype position) const
{
    if (position == m_gapStart)
        return;
    endSnapshot();
    char16_t *p = chars();
    if (position < m_gapStart) {
        const qsizetype n = m_gapStart - position;
        std::memmove(p + m_gapEnd - n, p + position, size_t(n) * sizeof(char16_t));
        m_gapStart -= n;
        m_gapEnd -= n;
    } else if (position > m_gapStart) {
        const qsizetype n = position - m_gapStart;
        std::memmove(p + m_gapStart, p + m_gapEnd, size_t(n) * sizeof(char16_t));
        m_gapStart += n;
        m_gapEnd += n;
    }
}

void GapText::ensureGap(qsizetype characters)
{
    if (m_gapEnd - m_gapStart >= characters)
        return;
    endSnapshot();
    const qsizetype oldSize = m_chars.size();
    const qsizetype grow = characters + slackFor(oldSize);
    m_chars.resize(oldSize + grow);
    char16_t *p = chars();
    std::memmove(p + m_gapEnd + grow, p + m_gapEnd, size_t(oldSize - m_gapEnd) * sizeof(char16_t));
    m_gapEnd += grow;
}

void GapText::moveLineGap(qsizetype line)
{
    if (line == m_lineGapStart)
        return;
    endSnapshot();
    const qsizetype total = length();
    if (line < m_lineGapStart) {
        // Entries that go after the gap count from the end from now on.
        for (qsizetype i = m_lineGapStart - 1; i >= line; --i) {
            const quint64 e = m_lines[size_t(i)];
            m_lines[size_t(--m_lineGapEnd)] = entry(total - entryValue(e), entryLineEnd(e));
        }
        m_lineGapStart = line;
    } else {
        while (m_lineGapStart < line) {
            const quint64 e = m_lines[size_t(m_lineGapEnd++)];
            m_lines[size_t(m_lineGapStart++)] = entry(total - entryValue(e), entryLineEnd(e));
        }
    }
}

void GapText::ensureLineGap(qsizetype lines)
{
    if (m_lineGapEnd - m_lineGapStart >= lines)
        return;
    endSnapshot();
    const qsizetype oldSize = qsizetype(m_lines.size());
    const qsizetype grow = lines + std::max<qsizetype>(1024, oldSize / 8);
    m_lines.resize(size_t(oldSize + grow));
    std::move_backward(m_lines.begin() + m_lineGapEnd, m_lines.begin() + oldSize, m_lines.end());
    m_lineGapEnd += grow;
}

void GapText::erase(qsizetype position, qsizetype count, std::vector<LineEnd> *lineEnds)
{
    if (count <= 0)
        return;
    // The breaks inside start the lines right after those that start by
    // position; each is the next entry after the gap.
    moveLineGap(linesStartingBy(position));
    const qsizetype total = length();
    while (m_lineGapEnd < qsizetype(m_lines.size())) {
        const quint64 e = m_lines[size_t(m_lineGapEnd)];
        if (total - entryValue(e) > position + count)
            break;
        if (lineEnds)
            lineEnds->push_back(entryLineEnd(e));
        ++m_lineGapEnd;
    }
    // Characters just before the gap join it where they stand.
    if (position + count == m_gapStart) {
        m_gapStart = position;
        return;
    }
    moveGap(position);
    m_gapEnd += count;
}

void GapText::insertStored(qsizetype position, QStringView text, const LineEnd *lineEnds)
{
    if (text.isEmpty())
        return;
    // Lines that start after position count from the end, so that they move
    // with the text inserted before them.
    moveLineGap(linesStartingBy(position));
    const qsizetype breaks = text.count(u'\n');
    moveGap(position);
    // Typing and deleting where a snapshot was taken write into its gaps
    // only; anything else ends it.
    if (inSnapshot()
        && (m_gapStart < m_lease->gapStart || m_gapStart + text.size() > m_lease->gapEnd
            || m_lineGapStart < m_lease->lineGapStart || m_lineGapStart + breaks > m_lease->lineGapEnd))
        endSnapshot();
    if (breaks > 0) {
        ensureLineGap(breaks);
        for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1))
            m_lines[size_t(m_lineGapStart++)] = entry(position + at + 1, *lineEnds++);
    }
    ensureGap(text.size());
    std::memcpy(chars() + m_gapStart, text.utf16(), size_t(text.size()) * sizeof(char16_t));
    m_gapStart += text.size();
}

GapText::Cut GapText::take(qsizetype position, qsizetype count)
{
    Cut cut;
    if (count <= 0)
        return cut;
    read(position, count, [&cut](QStringView part, qsizetype) { cut.text += part; });
    erase(position, count, &cut.lineEnds);
    return cut;
}

void GapText::insert(qsizetype position, QStringView stored, LineEnd lineEnd)
{
    const std::vector<LineEnd> lineEnds(size_t(stored.count(u'\n')), lineEnd);
    insertStored(position, stored, lineEnds.data());
}

void GapText::put(qsizetype position, Cut &&cut)
{
    insertStored(position, cut.text, cut.lineEnds.data());
}
