#include "editor/piecetext.h"

#include "editor/textruns.h"

#include <algorithm>

qsizetype PieceText::Cut::length() const
{
    qsizetype total = 0;
    for (const Piece &piece : pieces)
        total += piece.length;
    return total;
}

void PieceText::Cut::append(Cut &&after)
{
    pieces.insert(pieces.end(), after.pieces.begin(), after.pieces.end());
}

void PieceText::Cut::prepend(Cut &&before)
{
    pieces.insert(pieces.begin(), before.pieces.begin(), before.pieces.end());
}

bool PieceText::Copy::read(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                           const std::function<void(QStringView text)> &onText,
                           const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    return readPieceTable(*file, pieces, added, addedBreaks, addedLineEnds, onFile, onText, onBreak);
}

void PieceText::load(std::shared_ptr<const FileText> file)
{
    m_file = std::move(file);
    m_growing = true;
    m_grownBytes = 0;
    (void)grow();
}

qsizetype PieceText::grow()
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

double PieceText::grownShare() const
{
    if (!m_growing)
        return 1;
    return double(m_grownBytes) / double(std::max<qint64>(1, m_file->bytes()));
}

void PieceText::growWhole()
{
    if (m_growing) {
        m_file->waitForIndex();
        (void)grow();
    }
}

void PieceText::waitForLines(qsizetype lines) const
{
    if (m_growing && lines > 1)
        (void)m_file->blockOfBreak(lines - 2);
}

void PieceText::load(std::shared_ptr<const FileText> file, const std::vector<Stretch> &stretches)
{
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
            m_added += QChar(u'\n');
        }
        m_pieces.push_back({true, start, m_added.size() - start, 0});
        m_pieces.back().breaks = breaksIn(true, start, m_added.size() - start);
    }
    // Neighbours that continue one another become one piece.
    insertPieces(0, {});
}

bool PieceText::readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                          const std::function<void(QStringView text)> &onText,
                          const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    return readPieceTable(*m_file, wholePieces(), m_added, m_addedBreaks, m_addedLineEnds, onFile, onText, onBreak);
}

std::shared_ptr<const PieceText::Copy> PieceText::copy() const
{
    return std::make_shared<const Copy>(Copy {m_file, wholePieces(), m_added, m_addedBreaks, m_addedLineEnds});
}

bool PieceText::holdsAll(const FileText &file) const
{
    return !m_growing && file.length() == length() && file.breaks() == lineCount() - 1;
}

qsizetype PieceText::fileLength(const Cut &cut)
{
    qsizetype fromFile = 0;
    for (const Piece &piece : cut.pieces)
        fromFile += piece.added ? 0 : piece.length;
    return fromFile;
}

void PieceText::keepApart(Cut &cut)
{
    for (Piece &piece : cut.pieces) {
        if (!piece.added)
            piece = addFileText(*m_file, piece.start, piece.length);
    }
}

void PieceText::rebase(std::shared_ptr<const FileText> file)
{
    m_file = std::move(file);
    m_growing = false;
    m_pieces.clear();
    if (m_file->length() > 0)
        m_pieces.push_back({false, 0, m_file->length(), m_file->breaks()});
    sumPieces();
}

// Adds a stretch of the file to the added text, line ends and all.
PieceText::Piece PieceText::addFileText(const FileText &file, qsizetype start, qsizetype length)
{
    Piece piece {true, m_added.size(), 0, 0};
    (void)readPieceTable(file, {{false, start, length, 0}}, QString(), {}, {}, nullptr,
                         [&](QStringView text) { m_added += text; },
                         [&](LineEnd lineEnd) {
                             m_addedBreaks.push_back(m_added.size());
                             m_addedLineEnds.push_back(lineEnd);
                             m_added += QChar(u'\n');
                             ++piece.breaks;
                         });
    piece.length = m_added.size() - piece.start;
    return piece;
}

qsizetype PieceText::lineStart(qsizetype line) const
{
    if (line <= 0)
        return 0;
    return breakPosition(line - 1, nullptr) + 1;
}

qsizetype PieceText::lineAt(qsizetype position) const
{
    position = std::clamp<qsizetype>(position, 0, length());
    const qsizetype index = pieceIndex(position);
    if (index < 0)
        return 0;
    const Piece &piece = m_pieces[size_t(index)];
    return pieceBreaksBefore(index) + breaksIn(piece.added, piece.start, position - pieceStart(index));
}

LineEnd PieceText::lineEnd(qsizetype line) const
{
    LineEnd lineEnd = LineEnd::Lf;
    breakPosition(line, &lineEnd);
    return lineEnd;
}

QChar PieceText::at(qsizetype position) const
{
    QChar c;
    read(position, 1, [&c](QStringView part, qsizetype) { c = part.at(0); });
    return c;
}

QString PieceText::text(qsizetype position, qsizetype count) const
{
    QString copy;
    read(position, count, [&copy](QStringView part, qsizetype) { copy += part; });
    return copy;
}

QStringView PieceText::contiguous(qsizetype from, qsizetype to) const
{
    from = std::clamp<qsizetype>(from, 0, length());
    to = std::clamp<qsizetype>(to, from, length());
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
    m_contiguousCopy.clear();
    read(from, to - from, [this](QStringView part, qsizetype) { m_contiguousCopy += part; });
    return m_contiguousCopy;
}

bool PieceText::findAllInBytes(QStringView what, qsizetype from, const std::function<bool(qsizetype)> &onHit) const
{
    if (m_growing || !m_file->searchesBytes(what))
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

bool PieceText::mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const
{
    if (m_growing)
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

std::vector<PieceText::Piece> PieceText::wholePieces() const
{
    if (!m_growing)
        return m_pieces;
    if (m_file->length() == 0)
        return {};
    return {{false, 0, m_file->length(), m_file->breaks()}};
}

void PieceText::sumPieces()
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
qsizetype PieceText::pieceIndex(qsizetype position) const
{
    if (m_pieces.empty())
        return -1;
    const auto after = std::upper_bound(m_pieceEnds.begin(), m_pieceEnds.end(), position);
    return std::min<qsizetype>(after - m_pieceEnds.begin(), qsizetype(m_pieces.size()) - 1);
}

qsizetype PieceText::fileBreaksBefore(qsizetype position) const
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

qsizetype PieceText::breaksIn(bool added, qsizetype start, qsizetype length) const
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
qsizetype PieceText::breakPosition(qsizetype breakIndex, LineEnd *lineEnd) const
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

void PieceText::read(qsizetype position, qsizetype count,
                     const std::function<void(QStringView part, qsizetype start)> &onPart) const
{
    position = std::clamp<qsizetype>(position, 0, length());
    count = std::clamp<qsizetype>(count, 0, length() - position);
    constexpr qsizetype passingFrom = 1 << 20;
    const bool passing = count >= passingFrom;
    std::shared_ptr<FileText::Decoded> scratch;
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
            // A reading of many blocks leaves those kept for the view.
            const auto decoded = passing ? m_file->decodePassing(block, scratch) : m_file->decode(block);
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
void PieceText::splitPieceAt(qsizetype at)
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
qsizetype PieceText::piecesBefore(qsizetype position) const
{
    return std::upper_bound(m_pieceEnds.begin(), m_pieceEnds.end(), position) - m_pieceEnds.begin();
}

PieceText::Cut PieceText::take(qsizetype position, qsizetype count)
{
    if (count <= 0)
        return {};
    splitPieceAt(position);
    splitPieceAt(position + count);
    const auto first = m_pieces.begin() + piecesBefore(position);
    const auto last = m_pieces.begin() + piecesBefore(position + count);
    Cut cut {std::vector<Piece>(first, last)};
    m_pieces.erase(first, last);
    sumPieces();
    return cut;
}

void PieceText::insertPieces(qsizetype position, const std::vector<Piece> &pieces)
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

PieceText::Piece PieceText::addText(QStringView stored, LineEnd lineEnd)
{
    Piece piece {true, m_added.size(), stored.size(), 0};
    for (qsizetype at = stored.indexOf(u'\n'); at >= 0; at = stored.indexOf(u'\n', at + 1)) {
        m_addedBreaks.push_back(piece.start + at);
        m_addedLineEnds.push_back(lineEnd);
        ++piece.breaks;
    }
    m_added += stored;
    return piece;
}

void PieceText::insert(qsizetype position, QStringView stored, LineEnd lineEnd)
{
    if (!stored.isEmpty())
        insertPieces(position, {addText(stored, lineEnd)});
}

void PieceText::put(qsizetype position, Cut &&cut)
{
    insertPieces(position, cut.pieces);
}

PieceText::Cut PieceText::replaceEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd,
                                      qsizetype *inserted)
{
    const qsizetype spanStart = replacements.front().position;
    const qsizetype spanEnd = replacements.back().position + replacements.back().removed;
    Cut removed = take(spanStart, spanEnd - spanStart);
    // The pieces cut, walked once: what stands between the replacements is
    // taken over as parts of them.
    std::vector<Piece> pieces;
    size_t index = 0;
    qsizetype offset = 0;
    qsizetype at = spanStart;
    const auto walkTo = [&](qsizetype to, bool keep) {
        while (at < to) {
            const Piece &piece = removed.pieces[index];
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
    *inserted = 0;
    for (const Piece &piece : pieces)
        *inserted += piece.length;
    insertPieces(spanStart, pieces);
    return removed;
}

bool PieceText::readPieceTable(const FileText &file, const std::vector<Piece> &pieces, const QString &added,
                               const std::vector<qsizetype> &addedBreaks, const std::vector<LineEnd> &addedLineEnds,
                               const std::function<void(qsizetype, qsizetype)> &onFile,
                               const std::function<void(QStringView)> &onText,
                               const std::function<void(LineEnd)> &onBreak)
{
    for (const Piece &piece : pieces) {
        if (piece.added) {
            const auto first = std::lower_bound(addedBreaks.begin(), addedBreaks.end(), piece.start);
            const qsizetype firstBreak = first - addedBreaks.begin();
            readRuns(QStringView(added).mid(piece.start, piece.length),
                     [&](qsizetype n) { return addedLineEnds[size_t(firstBreak + n)]; }, onText, onBreak);
            continue;
        }
        if (onFile)
            onFile(piece.start, piece.length);
        else if (!file.readStretch(piece.start, piece.length, nullptr, onText, onBreak))
            return false;
    }
    return true;
}
