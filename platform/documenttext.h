#pragma once

#include <QStringView>

#include <memory>
#include <vector>

class QTextDocument;

// A stretch of a document read as one view of its storage: pieces that lie
// one after another in the document's buffer, or with only line breaks
// between them in the document. There the view holds what the buffer holds
// between the two pieces: as a rule the characters the break was made of in
// a loaded file (CR, LF, CR LF, U+2029...), which no search without line
// breaks can match; a reader that checks between pieces makes sure of it.
class DocumentRun
{
public:
    QStringView text;
    // The document positions of text's first character and just after its
    // last.
    qsizetype start = 0;
    qsizetype end = 0;
    // The document's character at end; U+2029 for a line break and at the
    // end of the document.
    QChar after;

    // The document position of text[offset], for an offset inside a piece.
    qsizetype documentPosition(qsizetype offset) const;
    // Whether text[from, to) lies in one piece, with nothing of what lies
    // between pieces in it.
    bool isWhole(qsizetype from, qsizetype to) const;

private:
    friend class DocumentTextReader;
    // Where a piece starts after characters between pieces (at gap): its
    // offset in text and its document position, in order.
    struct Join
    {
        qsizetype gap;
        qsizetype offset;
        qsizetype position;
    };
    std::vector<Join> m_joins;
};

// Reads a document's text in the pieces it is stored in, without copying it:
// saving a 100 MB document must not first build a 200 MB string. A line break
// is U+2029, alone or inside a piece. The reader is valid while the document
// does not change.
class DocumentTextReader
{
public:
    // Reads from position on (the document's start by default); it finds
    // the piece there without walking from the start.
    explicit DocumentTextReader(const QTextDocument &document, qsizetype position = 0);
    ~DocumentTextReader();
    DocumentTextReader(const DocumentTextReader &) = delete;
    DocumentTextReader &operator=(const DocumentTextReader &) = delete;

    // The next piece; false after the last one.
    bool next(QStringView &piece);

    // The pieces from the reader's position on that can be read as one view,
    // as a run: it ends where the next piece lies elsewhere or once it holds
    // length characters. Line breaks before it are passed over. The reader
    // goes on after it; false at the end of the document.
    bool nextRun(DocumentRun &run, qsizetype length);
    // From now on runs join two pieces only where all that lies between them
    // in the buffer is line-break characters. Reading them takes time, and
    // what else lies there can only add to what a search finds, never hide
    // anything, so this is for a search that found something not whole.
    void checkBetweenPieces();
    // The same backwards: a run that ends at the reader's position or before
    // it, with only line breaks between, of up to about length characters;
    // the reader goes back to its start. False at the start of the document.
    // A reader reads either forwards or backwards.
    bool previousRun(DocumentRun &run, qsizetype length);

private:
    struct Position;
    std::unique_ptr<Position> m_position;
    bool m_checkBetweenPieces = false;
    // Read but not yet handed out by previousRun, in order.
    std::vector<DocumentRun> m_earlierRuns;
};
