#include "editor/opentext.h"

#include "editor/textdecode.h"

#include <QFileInfo>

#include <algorithm>

namespace {

FileError openWhole(const QString &path, TextStore &store, TextFileFormat &format, const TextFileFormat *chosen)
{
    DecodedTextFile decoded;
    const FileError error = chosen ? readTextFile(path, decoded, *chosen) : readTextFile(path, decoded);
    if (error.failed())
        return error;
    (void)store.load(std::move(decoded.text));
    format = decoded.format;
    return FileError::none();
}

} // namespace

FileError openText(const QString &path, TextStore &store, TextFileFormat &format, const TextFileFormat *chosen,
                   const TextOpening &opening)
{
    if (QFileInfo(path).size() >= opening.keptInFileFrom) {
        FileError error;
        const std::shared_ptr<FileText> file = openTextFile(path, error, chosen, opening.blockBytes);
        if (error.failed())
            return error;
        // Bytes the format cannot read, further on than its start showed,
        // leave the file to be decoded whole.
        if (file) {
            (void)file->block(std::max<qsizetype>(0, opening.firstBytes / opening.blockBytes - 1));
            if (file->intact()) {
                store.load(file);
                format = file->format();
                if (store.growing() || fileLineEnd(*file, format.lineEnd))
                    return FileError::none();
            }
        }
    }
    return openWhole(path, store, format, chosen);
}

bool fileLineEnd(const FileText &file, LineEnd &lineEnd)
{
    if (!file.indexComplete() || !file.intact())
        return false;
    const std::array<qsizetype, lineEndKinds> counts = file.lineEndCounts();
    const auto most = std::max_element(counts.begin(), counts.end());
    lineEnd = *most > 0 ? LineEnd(most - counts.begin()) : platformLineEnd();
    return true;
}

FileError openEdits(const QString &source, const TextFileFormat &sourceFormat,
                    const std::vector<TextStore::Stretch> &stretches, TextStore &store, qsizetype blockBytes)
{
    FileError error;
    const std::shared_ptr<FileText> file = FileText::open(source, sourceFormat, error, blockBytes);
    if (!file)
        return error;
    file->waitForIndex();
    if (!file->intact())
        return FileError::make(FileError::Kind::ReadFailed, source);
    store.load(file, stretches);
    return FileError::none();
}
