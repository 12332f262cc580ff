#include "platform/documenttext.h"

#include <QTextDocument>

// The only public ways to read the whole text copy all of it at once; the
// document's own storage is read here instead, piece by piece.
#include <private/qtextdocument_p.h>

struct DocumentTextReader::Position
{
    const QTextDocumentPrivate *document;
    QString buffer; // shares the document's storage
    QTextDocumentPrivate::FragmentIterator fragment;
    qsizetype left; // characters still to read; the document's closing break is not text
};

DocumentTextReader::DocumentTextReader(const QTextDocument &document)
{
    const QTextDocumentPrivate *p = QTextDocumentPrivate::get(&document);
    m_position.reset(new Position {p, p->buffer(), p->begin(), qsizetype(document.characterCount()) - 1});
}

DocumentTextReader::~DocumentTextReader() = default;

bool DocumentTextReader::next(QStringView &piece)
{
    Position &at = *m_position;
    while (at.left > 0 && at.fragment != at.document->end()) {
        const QTextFragmentData *fragment = *at.fragment;
        ++at.fragment;
        const qsizetype size = qMin(qsizetype(fragment->size_array[0]), at.left);
        if (size == 0)
            continue;
        at.left -= size;
        piece = QStringView(at.buffer.constData() + fragment->stringPosition, size);
        return true;
    }
    return false;
}
