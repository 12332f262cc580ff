#include "editor/textstore.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

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

// What a snapshot reads: the store's memory as it was laid out when it was
// taken. The store ends the lease, under the mutex, before it changes any of
// that memory; a reader copies a piece at a time under the same mutex.
struct TextStoreLease
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
    // A text kept in its file is read from a copy of its table of pieces,
    // which nothing ends.
    std::shared_ptr<const FileText> file;
    std::function<bool(const std::function<void(qsizetype, qsizetype)> &, const std::function<void(QStringView)> &,
                       const std::function<void(LineEnd)> &)>
        readPieces;
};

bool TextSnapshot::read(const std::function<void(QStringView text)> &onText,
                        const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    if (!m_lease)
        return false;
    TextStoreLease &lease = *m_lease;
    if (lease.readPieces)
        return lease.readPieces(nullptr, onText, onBreak);
    const qsizetype length = lease.size - (lease.gapEnd - lease.gapStart);
    constexpr qsizetype piece = 1 << 16;
    std::vector<char16_t> buffer(size_t(std::min(piece, length)));
    std::vector<LineEnd> lineEnds;
    qsizetype nextLine = 0;
    for (qsizetype at = 0; at < length;) {
        const qsizetype count = std::min(piece, length - at);
        lineEnds.clear();
        {
            const std::lock_guard<std::mutex> lock(lease.mutex);
            if (lease.ended)
                return false;
            const qsizetype before = std::clamp<qsizetype>(lease.gapStart - at, 0, count);
            std::memcpy(buffer.data(), lease.chars + at, size_t(before) * sizeof(char16_t));
            std::memcpy(buffer.data() + before, lease.chars + lease.gapEnd + (at + before - lease.gapStart),
                        size_t(count - before) * sizeof(char16_t));
            for (qsizetype i = 0; i < count; ++i) {
                if (buffer[size_t(i)] != TextStore::lineBreak)
                    continue;
                const qsizetype index
                    = nextLine < lease.lineGapStart ? nextLine : nextLine + (lease.lineGapEnd - lease.lineGapStart);
                lineEnds.push_back(entryLineEnd(lease.lines[index]));
                ++nextLine;
            }
        }
        qsizetype runStart = 0;
        auto lineEnd = lineEnds.begin();
        for (qsizetype i = 0; i < count; ++i) {
            if (buffer[size_t(i)] != TextStore::lineBreak)
                continue;
            if (i > runStart)
                onText(QStringView(buffer.data() + runStart, i - runStart));
            onBreak(*lineEnd++);
            runStart = i + 1;
        }
        if (count > runStart)
            onText(QStringView(buffer.data() + runStart, count - runStart));
        at += count;
    }
    return true;
}

std::shared_ptr<const FileText> TextSnapshot::file() const
{
    return m_lease ? m_lease->file : nullptr;
}

bool TextSnapshot::readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                             const std::function<void(QStringView text)> &onText,
                             const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    return m_lease && m_lease->readPieces && m_lease->readPieces(onFile, onText, onBreak);
}

TextStore::TextStore() = default;

TextStore::~TextStore()
{
    endSnapshot();
}

TextSnapshot TextStore::snapshot() const
{
    if (m_file) {
        auto lease = std::make_shared<TextStoreLease>();
        lease->file = m_file;
        lease->readPieces = [file = m_file, pieces = wholePieces(), added = m_added, addedBreaks = m_addedBreaks,
                             addedLineEnds = m_addedLineEnds](const std::function<void(qsizetype, qsizetype)> &onFile,
                                                              const std::function<void(QStringView)> &onText,
                                                              const std::function<void(LineEnd)> &onBreak) {
            return readPieceTable(*file, pieces, added, addedBreaks, addedLineEnds, onFile, onText, onBreak);
        };
        TextSnapshot snapshot;
        snapshot.m_lease = std::move(lease);
        return snapshot;
    }
    endSnapshot();
    auto lease = std::make_shared<TextStoreLease>();
    lease->chars = chars();
    lease->gapStart = m_gapStart;
    lease->gapEnd = m_gapEnd;
    lease->size = m_chars.size();
    lease->lines = m_lines.data();
    lease->lineGapStart = m_lineGapStart;
    lease->lineGapEnd = m_lineGapEnd;
    m_lease = lease;
    TextSnapshot snapshot;
    snapshot.m_lease = std::move(lease);
    return snapshot;
}

bool TextStore::inSnapshot() const
{
    // A snapshot that nobody holds any more is read by nobody.
    if (m_lease && m_lease.use_count() == 1)
        m_lease.reset();
    return m_lease != nullptr;
}

void TextStore::endSnapshot() const
{
    if (!inSnapshot())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_lease->mutex);
        m_lease->ended = true;
    }
    m_lease.reset();
}

std::array<qsizetype, lineEndKinds> TextStore::load(QString &&text)
{
    std::array<qsizetype, lineEndKinds> counts {};
    endSnapshot();
    m_file.reset();
    m_growing = false;
    m_pieces.clear();
    m_added.clear();
    m_addedBreaks.clear();
    m_addedLineEnds.clear();
    sumPieces();
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
    clearUndo();
    return counts;
}

void TextStore::load(std::shared_ptr<const FileText> file)
{
    load(QString());
    m_file = std::move(file);
    m_growing = true;
    m_grownBytes = 0;
    (void)grow();
}

qsizetype TextStore::grow()
{
    if (!m_growing)
        return 0;
    Q_ASSERT(m_pieces.size() <= 1 && m_added.isEmpty());
    const FileText::Indexed indexed = m_file->indexed();
    const qsizetype added = indexed.length - length();
    if (added > 0) {
        m_pieces = {{false, 0, indexed.length, indexed.breaks}};
        sumPieces();
    }
    m_grownBytes = indexed.bytes;
    m_growing = !indexed.complete;
    return added;
}

double TextStore::grownShare() const
{
    if (!m_growing)
        return 1;
    return double(m_grownBytes) / double(std::max<qint64>(1, m_file->bytes()));
}

void TextStore::waitForLines(qsizetype lines) const
{
    if (m_growing && lines > 1)
        (void)m_file->blockOfBreak(lines - 2);
}

void TextStore::load(std::shared_ptr<const FileText> file, const std::vector<Stretch> &stretches)
{
    load(QString());
    m_file = std::move(file);
    for (const Stretch &stretch : stretches) {
        if (stretch.fileStart >= 0) {
            const qsizetype start = std::clamp<qsizetype>(stretch.fileStart, 0, m_file->length());
            const qsizetype length = std::clamp<qsizetype>(stretch.fileLength, 0, m_file->length() - start);
            m_pieces.push_back({false, start, length, 0});
            m_pieces.back().breaks = breaksIn(false, start, length);
            continue;
        }
        // Each line break with its own line end.
        const qsizetype start = m_added.size();
        const auto *in = reinterpret_cast<const char16_t *>(stretch.text.utf16());
        for (qsizetype at = 0; at < stretch.text.size(); ++at) {
            if (!isLineEndCharacter(in[at])) {
                m_added += QChar(in[at]);
                continue;
            }
            qsizetype taken = 1;
            m_addedLineEnds.push_back(lineEndAt(in, at, stretch.text.size(), taken));
            at += taken - 1;
            m_addedBreaks.push_back(m_added.size());
            m_added += QChar(lineBreak);
        }
        m_pieces.push_back({true, start, m_added.size() - start, 0});
        m_pieces.back().breaks = breaksIn(true, start, m_added.size() - start);
    }
    // Neighbours that continue one another become one piece.
    insertPieces(0, {});
}

bool TextStore::readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                          const std::function<void(QStringView text)> &onText,
                          const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    return m_file && readPieceTable(*m_file, wholePieces(), m_added, m_addedBreaks, m_addedLineEnds, onFile, onText, onBreak);
}

bool TextStore::rebase(std::shared_ptr<const FileText> file)
{
    if (!m_file || m_growing || file->length() != length() || file->breaks() != lineCount() - 1)
        return false;
    // What undo would put back of the old file is kept as added text, while
    // it is not too much to hold.
    constexpr qsizetype mostKept = qsizetype(1) << 24;
    qsizetype fromFile = 0;
    for (const Piece &piece : m_undo.removedPieces)
        fromFile += piece.added ? 0 : piece.length;
    if (fromFile > mostKept)
        clearUndo();
    for (Piece &piece : m_undo.removedPieces) {
        if (!piece.added)
            piece = addFileText(*m_file, piece.start, piece.length);
    }
    m_file = std::move(file);
    m_growing = false;
    m_pieces.clear();
    if (m_file->length() > 0)
        m_pieces.push_back({false, 0, m_file->length(), m_file->breaks()});
    sumPieces();
    return true;
}

// Adds a stretch of the file to the added text, line ends and all.
TextStore::Piece TextStore::addFileText(const FileText &file, qsizetype start, qsizetype length)
{
    Piece piece {true, m_added.size(), 0, 0};
    (void)readPieceTable(file, {{false, start, length, 0}}, QString(), {}, {}, nullptr,
                         [&](QStringView text) { m_added += text; },
                         [&](LineEnd lineEnd) {
                             m_addedBreaks.push_back(m_added.size());
                             m_addedLineEnds.push_back(lineEnd);
                             m_added += QChar(lineBreak);
                             ++piece.breaks;
                         });
    piece.length = m_added.size() - piece.start;
    return piece;
}

qsizetype TextStore::length() const
{
    if (m_file)
        return m_pieceEnds.empty() ? 0 : m_pieceEnds.back();
    return m_chars.size() - (m_gapEnd - m_gapStart);
}

qsizetype TextStore::lineCount() const
{
    if (m_file)
        return (m_pieceBreakEnds.empty() ? 0 : m_pieceBreakEnds.back()) + 1;
    return qsizetype(m_lines.size()) - (m_lineGapEnd - m_lineGapStart) + 1;
}

quint64 TextStore::lineEntry(qsizetype line) const
{
    return m_lines[size_t(line < m_lineGapStart ? line : line + (m_lineGapEnd - m_lineGapStart))];
}

qsizetype TextStore::lineStart(qsizetype line) const
{
    if (line <= 0)
        return 0;
    if (m_file)
        return breakPosition(line - 1, nullptr) + 1;
    const qsizetype value = entryValue(lineEntry(line - 1));
    return line - 1 < m_lineGapStart ? value : length() - value;
}

qsizetype TextStore::lineLength(qsizetype line) const
{
    const qsizetype end = line + 1 < lineCount() ? lineStart(line + 1) - 1 : length();
    return end - lineStart(line);
}

qsizetype TextStore::linesStartingBy(qsizetype position) const
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

qsizetype TextStore::lineAt(qsizetype position) const
{
    if (m_file) {
        position = std::clamp<qsizetype>(position, 0, length());
        const qsizetype index = pieceIndex(position);
        if (index < 0)
            return 0;
        const Piece &piece = m_pieces[size_t(index)];
        return pieceBreaksBefore(index) + breaksIn(piece.added, piece.start, position - pieceStart(index));
    }
    return linesStartingBy(position);
}

LineEnd TextStore::lineEnd(qsizetype line) const
{
    if (line < 0 || line >= lineCount() - 1)
        return LineEnd::Lf;
    if (m_file) {
        LineEnd lineEnd = LineEnd::Lf;
        breakPosition(line, &lineEnd);
        return lineEnd;
    }
    return entryLineEnd(lineEntry(line));
}

QChar TextStore::at(qsizetype position) const
{
    if (m_file) {
        QChar c;
        readPieces(position, 1, [&c](QStringView part, qsizetype) { c = part.at(0); });
        return c;
    }
    return QChar(chars()[physical(position)]);
}

QString TextStore::text(qsizetype position, qsizetype count) const
{
    QString copy;
    read(position, count, [&copy](QStringView part, qsizetype) { copy += part; });
    return copy;
}

void TextStore::read(qsizetype position, qsizetype count,
                     const std::function<void(QStringView part, qsizetype start)> &onPart) const
{
    if (m_file)
        return readPieces(position, count, onPart);
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

QStringView TextStore::contiguous(qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, length());
    to = std::clamp<qsizetype>(to, from, length());
    if (m_file) {
        // One piece, and in the file one block, is a view; else a copy.
        const qsizetype index = pieceIndex(from);
        if (index >= 0 && to <= m_pieceEnds[size_t(index)]) {
            const Piece &piece = m_pieces[size_t(index)];
            const qsizetype at = piece.start + from - pieceStart(index);
            if (piece.added)
                return QStringView(m_added).mid(at, to - from);
            const FileText::Block block = m_file->blockAt(at);
            if (at + (to - from) <= block.start + block.length) {
                m_contiguousBlock = m_file->decode(block);
                if (m_contiguousBlock->text.size() >= at - block.start + (to - from))
                    return QStringView(m_contiguousBlock->text).mid(at - block.start, to - from);
            }
        }
        m_contiguousCopy = text(from, to - from);
        return m_contiguousCopy;
    }
    if (from < m_gapStart && m_gapStart < to) {
        if (inSnapshot()) {
            m_contiguousCopy = text(from, to - from);
            return m_contiguousCopy;
        }
        moveGap(m_gapStart - from < to - m_gapStart ? from : to);
    }
    return QStringView(chars() + physical(from), to - from);
}

void TextStore::moveGap(qsizetype position) const
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

void TextStore::ensureGap(qsizetype characters)
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

void TextStore::moveLineGap(qsizetype line)
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

void TextStore::ensureLineGap(qsizetype lines)
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

void TextStore::erase(qsizetype position, qsizetype count, std::vector<LineEnd> *lineEnds)
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

void TextStore::insertStored(qsizetype position, QStringView text, const LineEnd *lineEnds)
{
    if (text.isEmpty())
        return;
    // Lines that start after position count from the end, so that they move
    // with the text inserted before them.
    moveLineGap(linesStartingBy(position));
    const qsizetype breaks = text.count(QChar(lineBreak));
    moveGap(position);
    // Typing and deleting where a snapshot was taken write into its gaps
    // only; anything else ends it.
    if (inSnapshot()
        && (m_gapStart < m_lease->gapStart || m_gapStart + text.size() > m_lease->gapEnd
            || m_lineGapStart < m_lease->lineGapStart || m_lineGapStart + breaks > m_lease->lineGapEnd))
        endSnapshot();
    if (breaks > 0) {
        ensureLineGap(breaks);
        for (qsizetype at = text.indexOf(QChar(lineBreak)); at >= 0; at = text.indexOf(QChar(lineBreak), at + 1))
            m_lines[size_t(m_lineGapStart++)] = entry(position + at + 1, *lineEnds++);
    }
    ensureGap(text.size());
    std::memcpy(chars() + m_gapStart, text.utf16(), size_t(text.size()) * sizeof(char16_t));
    m_gapStart += text.size();
}

QString TextStore::storedForm(QStringView text)
{
    QString stored;
    stored.reserve(text.size());
    const char16_t *in = text.utf16();
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (!isLineEndCharacter(in[at])) {
            stored += QChar(in[at]);
            continue;
        }
        qsizetype taken = 1;
        lineEndAt(in, at, text.size(), taken);
        at += taken - 1;
        stored += QChar(lineBreak);
    }
    return stored;
}

void TextStore::replace(qsizetype position, qsizetype removed, QStringView text, LineEnd newLineEnd, EditKind kind)
{
    // An edit goes into the whole text.
    if (m_growing) {
        m_file->waitForIndex();
        (void)grow();
    }
    position = std::clamp<qsizetype>(position, 0, length());
    removed = std::clamp<qsizetype>(removed, 0, length() - position);

    const QString stored = storedForm(text);
    if (removed == 0 && stored.isEmpty())
        return;
    if (m_file)
        return replacePieces(position, removed, stored, newLineEnd, kind);
    const std::vector<LineEnd> newLineEnds(size_t(stored.count(QChar(lineBreak))), newLineEnd);

    QString removedText = this->text(position, removed);
    std::vector<LineEnd> removedLineEnds;
    erase(position, removed, &removedLineEnds);
    insertStored(position, stored, newLineEnds.data());

    Undo &u = m_undo;
    const bool joins = u.valid && u.joinable && u.kind == kind;
    if (joins && kind == EditKind::Typing && position == u.position + u.inserted) {
        u.removed += removedText;
        u.removedLineEnds.insert(u.removedLineEnds.end(), removedLineEnds.begin(), removedLineEnds.end());
        u.inserted += stored.size();
    } else if (joins && kind == EditKind::Deleting && stored.isEmpty() && u.inserted == 0
               && position + removed == u.position) {
        u.removed.prepend(removedText);
        u.removedLineEnds.insert(u.removedLineEnds.begin(), removedLineEnds.begin(), removedLineEnds.end());
        u.position = position;
    } else if (joins && kind == EditKind::Deleting && stored.isEmpty() && u.inserted == 0 && position == u.position) {
        u.removed += removedText;
        u.removedLineEnds.insert(u.removedLineEnds.end(), removedLineEnds.begin(), removedLineEnds.end());
    } else {
        u = {position, std::move(removedText), std::move(removedLineEnds), stored.size(), kind, true,
             kind != EditKind::Separate, {}, {}};
    }
}

void TextStore::replaceEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd)
{
    if (replacements.empty())
        return;
    if (m_growing) {
        m_file->waitForIndex();
        (void)grow();
    }
    if (m_file)
        return replacePiecesEach(replacements, newLineEnd);
    // Made from the first to the last, the gap moves along the text once.
    std::vector<UndoPart> parts;
    parts.reserve(replacements.size());
    qsizetype shift = 0;
    std::vector<LineEnd> newLineEnds;
    for (const Replacement &r : replacements) {
        UndoPart part;
        part.position = r.position + shift;
        part.removed = text(part.position, r.removed);
        erase(part.position, r.removed, &part.removedLineEnds);
        newLineEnds.assign(size_t(r.text.count(QChar(lineBreak))), newLineEnd);
        insertStored(part.position, r.text, newLineEnds.data());
        part.inserted = r.text.size();
        shift += r.text.size() - r.removed;
        parts.push_back(std::move(part));
    }
    m_undo = Undo();
    m_undo.position = parts.front().position;
    m_undo.inserted = parts.back().position + parts.back().inserted - parts.front().position;
    m_undo.valid = true;
    m_undo.parts = std::move(parts);
}

// Each part is taken back from the last to the first, so that the places of
// those before it still hold; what stood there becomes a part of the redo,
// at its place in the text as it is after the undo.
bool TextStore::undoParts(qsizetype *position, qsizetype *length)
{
    Undo &u = m_undo;
    qsizetype shift = 0;
    for (const UndoPart &part : u.parts)
        shift += part.inserted - part.removed.size();
    for (auto part = u.parts.rbegin(); part != u.parts.rend(); ++part) {
        shift -= part->inserted - part->removed.size();
        QString current = text(part->position, part->inserted);
        std::vector<LineEnd> currentLineEnds;
        erase(part->position, part->inserted, &currentLineEnds);
        insertStored(part->position, part->removed, part->removedLineEnds.data());
        part->inserted = part->removed.size();
        part->removed = std::move(current);
        part->removedLineEnds = std::move(currentLineEnds);
        part->position -= shift;
    }
    const UndoPart &last = u.parts.back();
    u.inserted = last.position + last.inserted - u.position;
    if (position)
        *position = u.position;
    if (length)
        *length = u.inserted;
    return true;
}

bool TextStore::canUndo() const
{
    return m_undo.valid;
}

bool TextStore::undo(qsizetype *position, qsizetype *length)
{
    Undo &u = m_undo;
    if (!u.valid)
        return false;
    if (m_file)
        return undoPieces(position, length);
    if (!u.parts.empty())
        return undoParts(position, length);
    // What stands there now becomes what the next undo puts back.
    QString current = text(u.position, u.inserted);
    std::vector<LineEnd> currentLineEnds;
    erase(u.position, u.inserted, &currentLineEnds);
    insertStored(u.position, u.removed, u.removedLineEnds.data());
    if (position)
        *position = u.position;
    if (length)
        *length = u.removed.size();
    u.inserted = u.removed.size();
    u.removed = std::move(current);
    u.removedLineEnds = std::move(currentLineEnds);
    u.joinable = false;
    return true;
}

bool TextStore::undoTakes(qsizetype *position, qsizetype *length) const
{
    if (!m_undo.valid)
        return false;
    *position = m_undo.position;
    *length = m_undo.inserted;
    return true;
}

void TextStore::clearUndo()
{
    m_undo = Undo();
}

void TextStore::breakUndoJoin()
{
    m_undo.joinable = false;
}

// --- A text kept in its file -----------------------------------------------

bool TextStore::findInBytes(QStringView what, qsizetype from, qsizetype *found) const
{
    *found = -1;
    return findAllInBytes(what, from, [found](qsizetype at) {
        *found = at;
        return false;
    });
}

bool TextStore::findAllInBytes(QStringView what, qsizetype from, const std::function<bool(qsizetype)> &onHit) const
{
    if (!m_file || m_growing || !m_file->searchesBytes(what))
        return false;
    const qsizetype n = what.size();
    // No occurrence starts before next: none overlaps the one given before.
    qsizetype next = from;
    bool going = true;
    const auto give = [&](qsizetype at) {
        if (at >= next) {
            next = at + n;
            going = onHit(at);
        }
        return going;
    };
    for (qsizetype index = std::max<qsizetype>(0, pieceIndex(from)); going && index < qsizetype(m_pieces.size());
         ++index) {
        const Piece &piece = m_pieces[size_t(index)];
        const qsizetype start = pieceStart(index);
        const qsizetype end = start + piece.length;
        if (std::max(next, start) >= end)
            continue;
        if (piece.added) {
            const QStringView added = QStringView(m_added).mid(piece.start, piece.length);
            for (qsizetype at = added.indexOf(what, std::max(next, start) - start); at >= 0 && give(start + at);)
                at = added.indexOf(what, at + n);
        } else {
            const qsizetype fileEnd = piece.start + piece.length;
            (void)m_file->findAllBytes(what, piece.start + (std::max(next, start) - start), fileEnd, fileEnd,
                                       [&](qsizetype hit) { return give(start + (hit - piece.start)); });
        }
        // And those that run on into the pieces after.
        for (qsizetype at = std::max(next, end - n + 1); going && at < end && at + n <= length(); ++at) {
            if (at >= next && text(at, n) == what)
                (void)give(at);
        }
    }
    return true;
}

bool TextStore::mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const
{
    if (!m_file || m_growing)
        return true;
    for (qsizetype index = std::max<qsizetype>(0, pieceIndex(from)); index < qsizetype(m_pieces.size()); ++index) {
        const Piece &piece = m_pieces[size_t(index)];
        const qsizetype start = pieceStart(index);
        if (start >= to)
            break;
        const qsizetype begin = std::max(from, start) - start;
        const qsizetype end = std::min(to, start + piece.length) - start;
        if (begin < end
            && (piece.added || m_file->mayHoldIgnoringCase(what, piece.start + begin, piece.start + end)))
            return true;
    }
    return false;
}

std::vector<TextStore::Piece> TextStore::wholePieces() const
{
    if (!m_growing)
        return m_pieces;
    if (m_file->length() == 0)
        return {};
    return {{false, 0, m_file->length(), m_file->breaks()}};
}

void TextStore::sumPieces()
{
    m_pieceEnds.resize(m_pieces.size());
    m_pieceBreakEnds.resize(m_pieces.size());
    qsizetype end = 0;
    qsizetype breaks = 0;
    m_longestAdded = 0;
    for (size_t i = 0; i < m_pieces.size(); ++i) {
        end += m_pieces[i].length;
        breaks += m_pieces[i].breaks;
        if (m_pieces[i].added)
            m_longestAdded = std::max(m_longestAdded, m_pieces[i].length);
        m_pieceEnds[i] = end;
        m_pieceBreakEnds[i] = breaks;
    }
}

// The piece that holds position, the last one for the end of the text; -1
// for an empty text.
qsizetype TextStore::pieceIndex(qsizetype position) const
{
    if (m_pieces.empty())
        return -1;
    const auto after = std::upper_bound(m_pieceEnds.begin(), m_pieceEnds.end(), position);
    return std::min<qsizetype>(after - m_pieceEnds.begin(), qsizetype(m_pieces.size()) - 1);
}

qsizetype TextStore::fileBreaksBefore(qsizetype position) const
{
    // The end of what is indexed so far needs no block beyond it.
    const FileText::Indexed indexed = m_file->indexed();
    if (position == indexed.length || (indexed.complete && position > indexed.length))
        return indexed.breaks;
    const FileText::Block block = m_file->blockAt(position);
    const auto decoded = m_file->decode(block);
    const auto &offsets = decoded->breakOffsets;
    return block.breaksBefore
           + (std::lower_bound(offsets.begin(), offsets.end(), int(position - block.start)) - offsets.begin());
}

qsizetype TextStore::breaksIn(bool added, qsizetype start, qsizetype length) const
{
    if (length <= 0)
        return 0;
    if (added) {
        return std::lower_bound(m_addedBreaks.begin(), m_addedBreaks.end(), start + length)
               - std::lower_bound(m_addedBreaks.begin(), m_addedBreaks.end(), start);
    }
    return fileBreaksBefore(start + length) - fileBreaksBefore(start);
}

// The position of the break numbered breakIndex from 0, and its line end.
qsizetype TextStore::breakPosition(qsizetype breakIndex, LineEnd *lineEnd) const
{
    const auto after = std::upper_bound(m_pieceBreakEnds.begin(), m_pieceBreakEnds.end(), breakIndex);
    if (after == m_pieceBreakEnds.end())
        return length();
    const qsizetype index = after - m_pieceBreakEnds.begin();
    const Piece &piece = m_pieces[size_t(index)];
    const qsizetype nth = breakIndex - pieceBreaksBefore(index);
    qsizetype at = 0;
    if (piece.added) {
        const auto first = std::lower_bound(m_addedBreaks.begin(), m_addedBreaks.end(), piece.start);
        const size_t entry = size_t(first - m_addedBreaks.begin() + nth);
        at = m_addedBreaks[entry];
        if (lineEnd)
            *lineEnd = m_addedLineEnds[entry];
    } else {
        const qsizetype fileBreak = fileBreaksBefore(piece.start) + nth;
        const FileText::Block block = m_file->blockOfBreak(fileBreak);
        const auto decoded = m_file->decode(block);
        const size_t entry = size_t(fileBreak - block.breaksBefore);
        if (entry >= decoded->breakOffsets.size())
            return pieceStart(index) + piece.length;
        at = block.start + decoded->breakOffsets[entry];
        if (lineEnd)
            *lineEnd = decoded->lineEnds[entry];
    }
    return pieceStart(index) + (at - piece.start);
}

void TextStore::readPieces(qsizetype position, qsizetype count,
                           const std::function<void(QStringView part, qsizetype start)> &onPart) const
{
    position = std::clamp<qsizetype>(position, 0, length());
    count = std::clamp<qsizetype>(count, 0, length() - position);
    for (qsizetype index = pieceIndex(position); count > 0; ++index) {
        const Piece &piece = m_pieces[size_t(index)];
        const qsizetype offset = position - pieceStart(index);
        qsizetype left = std::min(count, piece.length - offset);
        count -= left;
        if (piece.added) {
            onPart(QStringView(m_added).mid(piece.start + offset, left), position);
            position += left;
            continue;
        }
        for (qsizetype at = piece.start + offset; left > 0;) {
            const FileText::Block block = m_file->blockAt(at);
            const auto decoded = m_file->decode(block);
            const qsizetype from = at - block.start;
            const qsizetype take = std::min(left, block.length - from);
            // A block the file no longer holds reads as replacement characters.
            if (decoded->text.size() < from + take)
                onPart(QString(take, QChar::ReplacementCharacter), position);
            else
                onPart(QStringView(decoded->text).mid(from, take), position);
            at += take;
            position += take;
            left -= take;
        }
    }
}

// Splits the piece that holds at, so that a piece starts there.
void TextStore::splitPieceAt(qsizetype at)
{
    const qsizetype index = pieceIndex(at);
    if (index < 0 || at <= pieceStart(index) || at >= m_pieceEnds[size_t(index)])
        return;
    Piece &piece = m_pieces[size_t(index)];
    const qsizetype head = at - pieceStart(index);
    const qsizetype headBreaks = breaksIn(piece.added, piece.start, head);
    const Piece tail {piece.added, piece.start + head, piece.length - head, piece.breaks - headBreaks};
    piece.length = head;
    piece.breaks = headBreaks;
    m_pieces.insert(m_pieces.begin() + index + 1, tail);
    sumPieces();
}

// The index of the first piece that starts at or after position, once a
// piece starts there.
qsizetype TextStore::piecesBefore(qsizetype position) const
{
    return std::upper_bound(m_pieceEnds.begin(), m_pieceEnds.end(), position) - m_pieceEnds.begin();
}

std::vector<TextStore::Piece> TextStore::cutPieces(qsizetype position, qsizetype count)
{
    if (count <= 0)
        return {};
    splitPieceAt(position);
    splitPieceAt(position + count);
    const auto first = m_pieces.begin() + piecesBefore(position);
    const auto last = m_pieces.begin() + piecesBefore(position + count);
    std::vector<Piece> cut(first, last);
    m_pieces.erase(first, last);
    sumPieces();
    return cut;
}

void TextStore::insertPieces(qsizetype position, const std::vector<Piece> &pieces)
{
    splitPieceAt(position);
    m_pieces.insert(m_pieces.begin() + piecesBefore(position), pieces.begin(), pieces.end());
    // Neighbours that continue one another become one piece.
    std::vector<Piece> joined;
    for (const Piece &piece : m_pieces) {
        if (piece.length == 0)
            continue;
        if (!joined.empty() && joined.back().added == piece.added
            && joined.back().start + joined.back().length == piece.start) {
            joined.back().length += piece.length;
            joined.back().breaks += piece.breaks;
        } else {
            joined.push_back(piece);
        }
    }
    m_pieces = std::move(joined);
    sumPieces();
}

TextStore::Piece TextStore::addText(QStringView stored, LineEnd lineEnd)
{
    Piece piece {true, m_added.size(), stored.size(), 0};
    for (qsizetype at = stored.indexOf(QChar(lineBreak)); at >= 0; at = stored.indexOf(QChar(lineBreak), at + 1)) {
        m_addedBreaks.push_back(piece.start + at);
        m_addedLineEnds.push_back(lineEnd);
        ++piece.breaks;
    }
    m_added += stored;
    return piece;
}

void TextStore::replacePieces(qsizetype position, qsizetype removed, const QString &stored, LineEnd newLineEnd,
                              EditKind kind)
{
    std::vector<Piece> removedPieces = cutPieces(position, removed);
    if (!stored.isEmpty())
        insertPieces(position, {addText(stored, newLineEnd)});

    Undo &u = m_undo;
    const bool joins = u.valid && u.joinable && u.kind == kind;
    if (joins && kind == EditKind::Typing && position == u.position + u.inserted) {
        u.removedPieces.insert(u.removedPieces.end(), removedPieces.begin(), removedPieces.end());
        u.inserted += stored.size();
    } else if (joins && kind == EditKind::Deleting && stored.isEmpty() && u.inserted == 0
               && position + removed == u.position) {
        u.removedPieces.insert(u.removedPieces.begin(), removedPieces.begin(), removedPieces.end());
        u.position = position;
    } else if (joins && kind == EditKind::Deleting && stored.isEmpty() && u.inserted == 0 && position == u.position) {
        u.removedPieces.insert(u.removedPieces.end(), removedPieces.begin(), removedPieces.end());
    } else {
        u = Undo();
        u.position = position;
        u.inserted = stored.size();
        u.kind = kind;
        u.valid = true;
        u.joinable = kind != EditKind::Separate;
        u.removedPieces = std::move(removedPieces);
    }
}

void TextStore::replacePiecesEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd)
{
    const qsizetype spanStart = replacements.front().position;
    const qsizetype spanEnd = replacements.back().position + replacements.back().removed;
    std::vector<Piece> removedPieces = cutPieces(spanStart, spanEnd - spanStart);
    // The pieces cut, walked once: what stands between the replacements is
    // taken over as parts of them.
    std::vector<Piece> pieces;
    size_t index = 0;
    qsizetype offset = 0;
    qsizetype at = spanStart;
    const auto walkTo = [&](qsizetype to, bool keep) {
        while (at < to) {
            const Piece &piece = removedPieces[index];
            const qsizetype take = std::min(piece.length - offset, to - at);
            if (keep) {
                const bool whole = offset == 0 && take == piece.length;
                pieces.push_back({piece.added, piece.start + offset, take,
                                  whole ? piece.breaks : breaksIn(piece.added, piece.start + offset, take)});
            }
            at += take;
            offset += take;
            if (offset == piece.length) {
                ++index;
                offset = 0;
            }
        }
    };
    for (const Replacement &r : replacements) {
        walkTo(r.position, true);
        walkTo(r.position + r.removed, false);
        if (!r.text.isEmpty())
            pieces.push_back(addText(r.text, newLineEnd));
    }
    qsizetype inserted = 0;
    for (const Piece &piece : pieces)
        inserted += piece.length;
    insertPieces(spanStart, pieces);
    m_undo = Undo();
    m_undo.position = spanStart;
    m_undo.inserted = inserted;
    m_undo.valid = true;
    m_undo.removedPieces = std::move(removedPieces);
}

bool TextStore::undoPieces(qsizetype *position, qsizetype *length)
{
    Undo &u = m_undo;
    std::vector<Piece> current = cutPieces(u.position, u.inserted);
    insertPieces(u.position, u.removedPieces);
    qsizetype putBack = 0;
    for (const Piece &piece : u.removedPieces)
        putBack += piece.length;
    if (position)
        *position = u.position;
    if (length)
        *length = putBack;
    u.inserted = putBack;
    u.removedPieces = std::move(current);
    u.joinable = false;
    return true;
}

bool TextStore::readPieceTable(const FileText &file, const std::vector<Piece> &pieces, const QString &added,
                               const std::vector<qsizetype> &addedBreaks, const std::vector<LineEnd> &addedLineEnds,
                               const std::function<void(qsizetype, qsizetype)> &onFile,
                               const std::function<void(QStringView)> &onText,
                               const std::function<void(LineEnd)> &onBreak)
{
    // Runs of text between breaks, each break with its line end.
    const auto give = [&](QStringView text, const auto &lineEndOf) {
        qsizetype runStart = 0;
        for (qsizetype at = text.indexOf(QChar(lineBreak)); at >= 0; at = text.indexOf(QChar(lineBreak), at + 1)) {
            if (at > runStart)
                onText(text.sliced(runStart, at - runStart));
            onBreak(lineEndOf(at));
            runStart = at + 1;
        }
        if (text.size() > runStart)
            onText(text.sliced(runStart));
    };
    for (const Piece &piece : pieces) {
        if (piece.added) {
            const auto first = std::lower_bound(addedBreaks.begin(), addedBreaks.end(), piece.start);
            size_t next = size_t(first - addedBreaks.begin());
            give(QStringView(added).mid(piece.start, piece.length), [&](qsizetype) { return addedLineEnds[next++]; });
            continue;
        }
        if (onFile)
            onFile(piece.start, piece.length);
        else if (!file.readStretch(piece.start, piece.length, nullptr, onText, onBreak))
            return false;
    }
    return true;
}
