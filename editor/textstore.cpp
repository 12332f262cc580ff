#include "editor/textstore.h"

#include <algorithm>

bool TextSnapshot::read(const std::function<void(QStringView text)> &onText,
                        const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    if (m_pieces)
        return m_pieces->read(nullptr, onText, onBreak);
    return m_lease && m_lease->read(onText, onBreak);
}

std::shared_ptr<const FileText> TextSnapshot::file() const
{
    return m_pieces ? m_pieces->file : nullptr;
}

bool TextSnapshot::readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                             const std::function<void(QStringView text)> &onText,
                             const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    return m_pieces && m_pieces->read(onFile, onText, onBreak);
}

TextStore::TextStore() = default;

TextStore::~TextStore() = default;

TextSnapshot TextStore::snapshot() const
{
    TextSnapshot snapshot;
    if (const PieceText *text = pieces())
        snapshot.m_pieces = text->copy();
    else
        snapshot.m_lease = std::get<Held<GapText>>(m_held).text.lease();
    return snapshot;
}

void TextStore::endSnapshot() const
{
    if (const auto *held = std::get_if<Held<GapText>>(&m_held))
        held->text.endSnapshot();
}

std::array<qsizetype, lineEndKinds> TextStore::load(QString &&text)
{
    auto *held = std::get_if<Held<GapText>>(&m_held);
    if (!held)
        held = &m_held.emplace<Held<GapText>>();
    clearUndo();
    return held->text.load(std::move(text));
}

void TextStore::load(std::shared_ptr<const FileText> file)
{
    m_held.emplace<Held<PieceText>>().text.load(std::move(file));
    clearUndo();
}

qsizetype TextStore::grow()
{
    PieceText *text = pieces();
    return text ? text->grow() : 0;
}

double TextStore::grownShare() const
{
    const PieceText *text = pieces();
    return text ? text->grownShare() : 1;
}

void TextStore::waitForLines(qsizetype lines) const
{
    if (const PieceText *text = pieces())
        text->waitForLines(lines);
}

void TextStore::load(std::shared_ptr<const FileText> file, const std::vector<Stretch> &stretches)
{
    m_held.emplace<Held<PieceText>>().text.load(std::move(file), stretches);
    clearUndo();
}

bool TextStore::readEdits(const std::function<void(qsizetype start, qsizetype length)> &onFile,
                          const std::function<void(QStringView text)> &onText,
                          const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    const PieceText *text = pieces();
    return text && text->readEdits(onFile, onText, onBreak);
}

bool TextStore::readRuns(const std::function<void(QStringView text)> &onText,
                         const std::function<void(LineEnd lineEnd)> &onBreak) const
{
    if (const PieceText *text = pieces())
        return text->readEdits(nullptr, onText, onBreak);
    std::get<Held<GapText>>(m_held).text.readRuns(onText, onBreak);
    return true;
}

bool TextStore::rebase(std::shared_ptr<const FileText> file)
{
    auto *held = std::get_if<Held<PieceText>>(&m_held);
    if (!held || !held->text.holdsAll(*file))
        return false;
    // What undo would put back of the old file is kept as added text, while
    // it is not too much to hold.
    constexpr qsizetype mostKept = qsizetype(1) << 24;
    qsizetype fromFile = 0;
    for (const auto &part : held->undo)
        fromFile += PieceText::fileLength(part.removed);
    if (fromFile > mostKept)
        clearUndo();
    for (auto &part : held->undo)
        held->text.keepApart(part.removed);
    held->text.rebase(std::move(file));
    return true;
}

qsizetype TextStore::length() const
{
    return withText([](const auto &text) { return text.length(); });
}

qsizetype TextStore::lineCount() const
{
    return withText([](const auto &text) { return text.lineCount(); });
}

qsizetype TextStore::lineStart(qsizetype line) const
{
    return withText([line](const auto &text) { return text.lineStart(line); });
}

qsizetype TextStore::lineLength(qsizetype line) const
{
    const qsizetype end = line + 1 < lineCount() ? lineStart(line + 1) - 1 : length();
    return end - lineStart(line);
}

qsizetype TextStore::lineAt(qsizetype position) const
{
    return withText([position](const auto &text) { return text.lineAt(position); });
}

LineEnd TextStore::lineEnd(qsizetype line) const
{
    if (line < 0 || line >= lineCount() - 1)
        return LineEnd::Lf;
    return withText([line](const auto &text) { return text.lineEnd(line); });
}

QChar TextStore::at(qsizetype position) const
{
    return withText([position](const auto &text) { return text.at(position); });
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
    withText([&](const auto &text) { text.read(position, count, onPart); });
}

QStringView TextStore::contiguous(qsizetype from, qsizetype to) const
{
    return withText([from, to](const auto &text) { return text.contiguous(from, to); });
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

// Typing joins typing that ended where it starts; a key deletion joins key
// deletions next to it, before or after.
template <typename Text>
void TextStore::joinUndo(Held<Text> &held, qsizetype position, typename Text::Cut &&removed, qsizetype inserted,
                         EditKind kind)
{
    Undo &u = m_undo;
    const bool joins = u.valid && u.joinable && u.kind == kind;
    const bool deletes = joins && kind == EditKind::Deleting && inserted == 0 && u.inserted == 0;
    if (joins && kind == EditKind::Typing && position == u.position + u.inserted) {
        held.undo.front().removed.append(std::move(removed));
        u.inserted += inserted;
    } else if (deletes && position + removed.length() == u.position) {
        held.undo.front().removed.prepend(std::move(removed));
        u.position = position;
    } else if (deletes && position == u.position) {
        held.undo.front().removed.append(std::move(removed));
    } else {
        u = {position, inserted, kind, true, kind != EditKind::Separate};
        held.undo.clear();
    }
    if (held.undo.empty())
        held.undo.push_back({position, std::move(removed), inserted});
    held.undo.front().position = u.position;
    held.undo.front().inserted = u.inserted;
}

void TextStore::replace(qsizetype position, qsizetype removed, QStringView text, LineEnd newLineEnd, EditKind kind)
{
    // An edit goes into the whole text.
    if (PieceText *pieceText = pieces())
        pieceText->growWhole();
    position = std::clamp<qsizetype>(position, 0, length());
    removed = std::clamp<qsizetype>(removed, 0, length() - position);

    const QString stored = storedForm(text);
    if (removed == 0 && stored.isEmpty())
        return;
    std::visit(
        [&](auto &held) {
            auto cut = held.text.take(position, removed);
            held.text.insert(position, stored, newLineEnd);
            joinUndo(held, position, std::move(cut), stored.size(), kind);
        },
        m_held);
}

void TextStore::replaceEach(const std::vector<Replacement> &replacements, LineEnd newLineEnd)
{
    if (replacements.empty())
        return;
    if (PieceText *text = pieces())
        text->growWhole();
    std::visit([&](auto &held) { replaceEachIn(held, replacements, newLineEnd); }, m_held);
}

void TextStore::replaceEachIn(Held<GapText> &held, const std::vector<Replacement> &replacements, LineEnd newLineEnd)
{
    // Made from the first to the last, the gap moves along the text once.
    std::vector<UndoPart<GapText::Cut>> parts;
    parts.reserve(replacements.size());
    qsizetype shift = 0;
    for (const Replacement &r : replacements) {
        UndoPart<GapText::Cut> part;
        part.position = r.position + shift;
        part.removed = held.text.take(part.position, r.removed);
        held.text.insert(part.position, r.text, newLineEnd);
        part.inserted = r.text.size();
        shift += r.text.size() - r.removed;
        parts.push_back(std::move(part));
    }
    const qsizetype start = parts.front().position;
    m_undo = {start, parts.back().position + parts.back().inserted - start, EditKind::Separate, true, false};
    held.undo = std::move(parts);
}

void TextStore::replaceEachIn(Held<PieceText> &held, const std::vector<Replacement> &replacements,
                              LineEnd newLineEnd)
{
    qsizetype inserted = 0;
    PieceText::Cut removed = held.text.replaceEach(replacements, newLineEnd, &inserted);
    const qsizetype start = replacements.front().position;
    m_undo = {start, inserted, EditKind::Separate, true, false};
    held.undo.clear();
    held.undo.push_back({start, std::move(removed), inserted});
}

// Each part is taken back from the last to the first, so that the places of
// those before it still hold; what stood there becomes a part of the redo,
// at its place in the text as it is after the undo.
template <typename Text>
void TextStore::undoParts(Held<Text> &held, qsizetype *position, qsizetype *length)
{
    Undo &u = m_undo;
    qsizetype shift = 0;
    for (const auto &part : held.undo)
        shift += part.inserted - part.removed.length();
    for (auto part = held.undo.rbegin(); part != held.undo.rend(); ++part) {
        const qsizetype putBack = part->removed.length();
        shift -= part->inserted - putBack;
        typename Text::Cut current = held.text.take(part->position, part->inserted);
        held.text.put(part->position, std::move(part->removed));
        part->inserted = putBack;
        part->removed = std::move(current);
        part->position -= shift;
    }
    const auto &last = held.undo.back();
    u.inserted = last.position + last.inserted - u.position;
    u.joinable = false;
    if (position)
        *position = u.position;
    if (length)
        *length = u.inserted;
}

bool TextStore::canUndo() const
{
    return m_undo.valid;
}

bool TextStore::undo(qsizetype *position, qsizetype *length)
{
    if (!m_undo.valid)
        return false;
    std::visit([&](auto &held) { undoParts(held, position, length); }, m_held);
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
    std::visit([](auto &held) { held.undo.clear(); }, m_held);
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
    const PieceText *text = pieces();
    return text && text->findAllInBytes(what, from, onHit);
}

bool TextStore::mayHoldIgnoringCase(QStringView what, qsizetype from, qsizetype to) const
{
    const PieceText *text = pieces();
    return !text || text->mayHoldIgnoringCase(what, from, to);
}
