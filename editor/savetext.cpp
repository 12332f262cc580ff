#include "editor/savetext.h"

#include "editor/safefile.h"
#include "editor/textencode.h"

#include <QFile>
#include <QFileInfo>

#include <memory>
#include <optional>

namespace {

bool sameEncoding(const TextFileFormat &a, const TextFileFormat &b)
{
    return a.encoding == b.encoding && a.byteOrderMark == b.byteOrderMark && a.legacyName == b.legacyName;
}

void writeText(const TextStore &store, const TextFileFormat &format, EncodedTextWriter &out)
{
    if (format.byteOrderMark)
        out.writeByteOrderMark();
    // Short lines go to the writer many at a time, with their line ends:
    // one encoding for each stretch rather than two for each line.
    constexpr qsizetype stretch = 1 << 16;
    const auto pending = std::make_unique<char16_t[]>(stretch);
    qsizetype used = 0;
    const auto drain = [&] {
        out.write(QStringView(pending.get(), used));
        used = 0;
    };
    const auto add = [&](QStringView text) {
        if (used + text.size() > stretch)
            drain();
        if (text.size() >= stretch) {
            out.write(text);
            return;
        }
        std::copy(text.utf16(), text.utf16() + text.size(), pending.get() + used);
        used += text.size();
    };
    const auto addLineEnd = [&](LineEnd lineEnd) {
        // One or two characters: set, not copied.
        const QStringView end = lineEndText(lineEnd);
        if (used + 2 > stretch)
            drain();
        pending[used] = end.front().unicode();
        if (end.size() > 1)
            pending[used + 1] = end.back().unicode();
        used += end.size();
    };
    const FileText *source = store.file();
    if (source && sameEncoding(format, source->format())) {
        (void)store.readEdits(
            [&](qsizetype start, qsizetype length) {
                const auto asTheyAre = [&](QByteArrayView bytes) {
                    drain();
                    out.writeBytes(bytes);
                };
                (void)source->readStretch(start, length, asTheyAre, add, addLineEnd);
            },
            add, addLineEnd);
    } else {
        (void)store.readRuns(add, addLineEnd);
    }
    drain();
    out.flush();
}

FileError unreadable(const FileText &file)
{
    return FileError::make(file.changed() ? FileError::Kind::ChangedOutside : FileError::Kind::ReadFailed, file.path());
}

// Writes the text to every writer given at once; a file written in place
// learns the size of its new text first.
void writeTo(const TextStore &store, const TextFileFormat &format, const std::vector<SafeFileWriter *> &files,
             std::vector<FileError *> results)
{
    bool inPlace = false;
    for (const SafeFileWriter *file : files)
        inPlace = inPlace || file->writesInPlace();
    if (inPlace) {
        EncodedTextWriter counter(format);
        writeText(store, format, counter);
        for (size_t i = 0; i < files.size(); ++i) {
            if (files[i]->writesInPlace())
                *results[i] = files[i]->reserve(counter.size());
        }
    }
    std::vector<SafeFileWriter *> writing;
    for (size_t i = 0; i < files.size(); ++i) {
        if (results[i]->ok())
            writing.push_back(files[i]);
    }
    EncodedTextWriter out(writing, format);
    writeText(store, format, out);
}

} // namespace

std::vector<FileError> saveText(TextStore &store, const QStringList &paths, const TextFileFormat &format,
                                bool stopAtFailure, qsizetype blockBytes)
{
    std::vector<FileError> results(size_t(paths.size()));
    if (paths.isEmpty())
        return results;
    const FileText *source = store.file();
    // A text whose file could not be read to its end would be saved short,
    // and one whose file was written over would be saved mixed.
    if (source && !source->intact()) {
        std::fill(results.begin(), results.end(), unreadable(*source));
        return results;
    }
    std::vector<std::unique_ptr<SafeFileWriter>> files;
    // The copies are as private as the first file is once written.
    std::optional<QFileDevice::Permissions> firstPermissions;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        files.push_back(std::make_unique<SafeFileWriter>());
        results[size_t(i)] = files.back()->open(paths[i], firstPermissions);
        if (i == 0 && results[0].ok())
            firstPermissions = files.back()->permissions();
        else if (i == 0 && QFileInfo(paths[0]).isFile())
            firstPermissions = QFile::permissions(paths[0]);
        // Written in place, the file the text is read from would be read
        // as it is being overwritten.
        if (results[size_t(i)].ok() && files.back()->writesInPlace() && source && source->reads(paths[i])) {
            files.back() = std::make_unique<SafeFileWriter>();
            results[size_t(i)] = FileError::make(FileError::Kind::CannotOpen, paths[i],
                                                 QStringLiteral("it cannot be written in place while its text is read from it"));
        }
    }

    // A file written over while it was read leaves everything not yet
    // committed unwritten.
    const auto leftMixed = [&](size_t from) {
        if (!source || source->intact())
            return false;
        for (size_t i = from; i < files.size(); ++i) {
            files[i].reset();
            results[i] = unreadable(*source);
        }
        return true;
    };
    // A copy reads the first file back, which a device such as /dev/null
    // cannot give.
    const bool firstIsFile = !QFileInfo::exists(paths[0]) || QFileInfo(paths[0]).isFile();
    if (results[0].ok()) {
        writeTo(store, format, {files[0].get()}, {&results[0]});
        if (leftMixed(0))
            return results;
        results[0] = files[0]->commit();
    }
    bool stopped = stopAtFailure && results[0].failed();
    const bool copies = results[0].ok() && firstIsFile;
    // Where there is no first file to copy, the others are written from the text.
    if (!copies && !stopped) {
        std::vector<SafeFileWriter *> others;
        std::vector<FileError *> othersResults;
        for (size_t i = 1; i < files.size(); ++i) {
            if (results[i].ok()) {
                others.push_back(files[i].get());
                othersResults.push_back(&results[i]);
            }
        }
        writeTo(store, format, others, othersResults);
        if (leftMixed(1))
            return results;
    }
    for (size_t i = 1; i < files.size(); ++i) {
        FileError &result = results[i];
        if (stopped) {
            // Left unfinished, the file stays as it was.
            files[i].reset();
            result = FileError::make(FileError::Kind::NotWritten, paths[qsizetype(i)]);
            continue;
        }
        if (result.ok() && copies)
            result = files[i]->copyFrom(paths[0]);
        if (result.ok())
            result = files[i]->commit();
        stopped = stopAtFailure && result.failed();
    }

    // A text kept in a file it was just saved over is read from the new
    // file: the old one is gone once nothing reads it, and a draft can name
    // the new one.
    for (qsizetype i = 0; source && i < paths.size(); ++i) {
        if (results[size_t(i)].failed()
            || QFileInfo(paths[i]).absoluteFilePath() != QFileInfo(source->path()).absoluteFilePath())
            continue;
        TextFileFormat written = format;
        written.lineEnd = source->format().lineEnd;
        FileError error;
        if (sameEncoding(written, source->format())) {
            if (const std::shared_ptr<FileText> saved = FileText::open(paths[i], written, error, blockBytes)) {
                saved->waitForIndex();
                if (saved->intact())
                    (void)store.rebase(saved);
            }
        }
        break;
    }
    return results;
}
