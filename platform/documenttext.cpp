#include "platform/documenttext.h"

#include "platform/textfile.h"

#include <QTextDocument>

#include <algorithm>

// The only public ways to read the whole text copy all of it at once; the
// document's own storage is read here instead, piece by piece.
#include <private/qtextdocument_p.h>

namespace {

// A loaded file's line breaks stay in the buffer as the file had them, and
// the document stores its own U+2029 for each elsewhere.
bool onlyBreakCharacters(QStringView text)
{
    return std::all_of(text.begin(), text.end(), isLineEndCharacter);
}

// The last join at or before offset, if any.
template <typename Join>
const Join *joinBefore(const std::vector<Join> &joins, qsizetype offset)
{
    const auto after = std::upper_bound(joins.begin(), joins.end(), offset,
                                        [](qsizetype value, const Join &join) { return value < join.offset; });
    return after == joins.begin() ? nullptr : &*(after - 1);
}

} // namespace

qsizetype DocumentRun::documentPosition(qsizetype offset) const
{
    const Join *join = joinBefore(m_joins, offset);
    return join ? join->position + (offset - join->offset) : start + offset;
}

bool DocumentRun::isWhole(qsizetype from, qsizetype to) const
{
    const Join *join = joinBefore(m_joins, from);
    const size_t next = join ? size_t(join - m_joins.data()) + 1 : 0;
    return to <= (next < m_joins.size() ? m_joins[next].gap : text.size());
}

// A place in the document: in a piece, or at its end.
struct DocumentTextReader::Position
{
    const QTextDocumentPrivate *document;
    QString buffer; // shares the document's storage
    QTextDocumentPrivate::FragmentIterator fragment;
    qsizetype offset; // in fragment, up to its size
    qsizetype at;     // in the document
    qsizetype limit;  // where reading stops: the document's closing break is not text

    Position(const QTextDocumentPrivate *p, qsizetype position, qsizetype end)
        : document(p)
        , buffer(p->buffer())
        , fragment(p->find(int(position)))
        , offset(position - fragment.position())
        , at(position)
        , limit(end)
    {
    }

    // Where the piece after the position lies in the buffer, and its size;
    // false at the limit.
    bool forward(qsizetype &from, qsizetype &size)
    {
        while (at < limit) {
            const QTextFragmentData *data = *fragment;
            const qsizetype fragmentSize = data->size_array[0];
            if (offset >= fragmentSize) {
                ++fragment;
                offset = 0;
                continue;
            }
            from = qsizetype(data->stringPosition) + offset;
            size = qMin(fragmentSize - offset, limit - at);
            return true;
        }
        return false;
    }

    void pass(qsizetype size)
    {
        offset += size;
        at += size;
    }

    bool isLineBreak(qsizetype from, qsizetype size) const
    {
        return size == 1 && buffer.at(from) == QChar::ParagraphSeparator;
    }

    // The character at position, which lies before the limit or at it.
    QChar characterAt(qsizetype position) const
    {
        Position there(document, position, position + 1);
        qsizetype from = 0;
        qsizetype size = 0;
        return there.forward(from, size) ? buffer.at(from) : QChar(QChar::ParagraphSeparator);
    }

    // A run grows piece by piece while each next piece follows in the buffer
    // the one before it, or only line breaks lie between them in the
    // document and a few characters in the buffer.
    bool readRun(DocumentRun &run, qsizetype length, bool checkBetweenPieces)
    {
        run.m_joins.clear();
        qsizetype first = -1; // the run in the buffer: [first, last)
        qsizetype last = -1;
        int breaks = 0; // line breaks passed since the run's last piece, stored elsewhere
        qsizetype from = 0;
        qsizetype size = 0;
        bool more = false;
        while ((more = forward(from, size))) {
            const bool lineBreak = isLineBreak(from, size);
            if (first < 0) {
                if (!lineBreak) {
                    first = from;
                    last = from + size;
                    run.start = at;
                    run.end = at + size;
                }
            } else if (last - first >= length) {
                break;
            } else if (breaks == 0 && from == last) {
                last += size;
                run.end = at + size;
            } else if (lineBreak) {
                ++breaks;
            } else if (breaks > 0 && from > last && from - last <= 2 * breaks
                       && (!checkBetweenPieces || onlyBreakCharacters(QStringView(buffer).sliced(last, from - last)))) {
                run.m_joins.push_back({last - first, from - first, at});
                last = from + size;
                run.end = at + size;
                breaks = 0;
            } else {
                break;
            }
            pass(size);
        }
        if (first < 0)
            return false;
        run.text = QStringView(buffer.constData() + first, last - first);
        if (breaks > 0 || run.end == document->length() - 1)
            run.after = QChar::ParagraphSeparator;
        else
            run.after = more ? buffer.at(from) : characterAt(run.end);
        return true;
    }
};

DocumentTextReader::DocumentTextReader(const QTextDocument &document, qsizetype position)
{
    const qsizetype length = qsizetype(document.characterCount()) - 1;
    // The closing break is a piece of its own, so there is one at length.
    m_position = std::make_unique<Position>(QTextDocumentPrivate::get(&document),
                                            qBound(qsizetype(0), position, length), length);
}

DocumentTextReader::~DocumentTextReader() = default;

bool DocumentTextReader::next(QStringView &piece)
{
    Position &p = *m_position;
    qsizetype from = 0;
    qsizetype size = 0;
    if (!p.forward(from, size))
        return false;
    p.pass(size);
    piece = QStringView(p.buffer.constData() + from, size);
    return true;
}

bool DocumentTextReader::nextRun(DocumentRun &run, qsizetype length)
{
    return m_position->readRun(run, length, m_checkBetweenPieces);
}

void DocumentTextReader::checkBetweenPieces()
{
    m_checkBetweenPieces = true;
}

// Walking the pieces backwards is several times slower than forwards, which
// reads memory in the order it lies, so the stretch before the position is
// read forwards, in runs that are then handed out last first.
bool DocumentTextReader::previousRun(DocumentRun &run, qsizetype length)
{
    Position &p = *m_position;
    while (m_earlierRuns.empty()) {
        if (p.at == 0)
            return false;
        const qsizetype start = qMax(qsizetype(0), p.at - length);
        Position stretch(p.document, start, p.at);
        DocumentRun found;
        while (stretch.readRun(found, p.limit, m_checkBetweenPieces))
            m_earlierRuns.push_back(found);
        p = Position(p.document, start, p.limit);
    }
    run = std::move(m_earlierRuns.back());
    m_earlierRuns.pop_back();
    return true;
}
