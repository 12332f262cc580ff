#pragma once

#include <QStringView>

#include <memory>

class QTextDocument;

// Reads a document's text in the pieces it is stored in, in order, without
// copying it: saving a 100 MB document must not first build a 200 MB string.
// A line break is U+2029, alone or inside a piece. The reader is valid while
// the document does not change.
class DocumentTextReader
{
public:
    explicit DocumentTextReader(const QTextDocument &document);
    ~DocumentTextReader();
    DocumentTextReader(const DocumentTextReader &) = delete;
    DocumentTextReader &operator=(const DocumentTextReader &) = delete;

    // The next piece; false after the last one.
    bool next(QStringView &piece);

private:
    struct Position;
    std::unique_ptr<Position> m_position;
};
