#include "editor/inplacefile.h"

#include <atomic>

#include <QCoreApplication>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#endif

namespace {

constexpr qint64 copyChunk = 4 << 20;
const QLatin1StringView noteSuffix(".note");

FileError deviceError(const QString &path, const QFileDevice &file)
{
    const auto kind = file.error() == QFileDevice::ResourceError ? FileError::Kind::DiskFull : FileError::Kind::WriteFailed;
    return FileError::make(kind, path, file.errorString());
}

#ifdef Q_OS_UNIX
FileError systemError(const QString &path, int code)
{
    const auto kind = code == ENOSPC || code == EDQUOT ? FileError::Kind::DiskFull : FileError::Kind::WriteFailed;
    return FileError::make(kind, path, QString::fromLocal8Bit(std::strerror(code)));
}
#endif

std::atomic<int> syncsMade = 0;

bool syncToDisk(QFileDevice &file)
{
    if (!file.flush())
        return false;
    ++syncsMade;
#if defined(Q_OS_UNIX)
    return ::fsync(file.handle()) == 0;
#elif defined(Q_OS_WIN)
    return ::_commit(file.handle()) == 0;
#else
    return true;
#endif
}

// A new name in a folder lasts through a power cut only once the folder is
// synced too.
void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

bool writeAll(QFileDevice &file, QByteArrayView bytes)
{
    // A write can take only part of the bytes; the rest is tried again so
    // that a failure shows.
    while (!bytes.isEmpty()) {
        const qint64 written = file.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

// Copies the rest of from to to, a few megabytes at a time. Which of the two
// failed shows in its error().
bool copyBytes(QFileDevice &from, QFileDevice &to)
{
    QByteArray buffer(copyChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 read = from.read(buffer.data(), buffer.size());
        if (read < 0)
            return false;
        if (read == 0)
            return true;
        if (!writeAll(to, QByteArrayView(buffer.constData(), read)))
            return false;
    }
}

// "notes 2024-05-01 10.22.33.txt" for notes.txt, with " (2)" and on before
// the extension when a save in the same second left one already.
QString copyName(const QFileInfo &file, const QString &stamp, int attempt)
{
    const QString counter = attempt > 1 ? QStringLiteral(" (%1)").arg(attempt) : QString();
    const QString base = file.completeBaseName();
    if (base.isEmpty() || file.suffix().isEmpty())
        return file.fileName() + QLatin1Char(' ') + stamp + counter;
    return base + QLatin1Char(' ') + stamp + counter + QLatin1Char('.') + file.suffix();
}

} // namespace

QString recoveryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1Char('/')
           + QCoreApplication::applicationName().toLower() + QStringLiteral("/recovery");
}

QStringList leftRecoveryCopies()
{
    QStringList lines;
    const QDir folder(recoveryFolder());
    const QStringList notes = folder.entryList({QLatin1Char('*') + noteSuffix}, QDir::Files, QDir::Name);
    for (const QString &noteName : notes) {
        const QString copy = folder.filePath(noteName.chopped(noteSuffix.size()));
        QFile note(folder.filePath(noteName));
        // A note is written only once its copy is whole, so a copy without
        // one was cut short before its file was touched.
        if (!QFileInfo(copy).isFile() || !note.open(QIODevice::ReadOnly))
            continue;
        const QString file = QString::fromUtf8(note.readLine()).trimmed();
        lines.append(QStringLiteral("the old text of %1 is kept in %2")
                         .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(copy)));
    }
    return lines;
}

InPlaceFile::~InPlaceFile()
{
    // A save left unfinished never leaves half of the new text behind.
    if (m_begun)
        restore(FileError::make(FileError::Kind::Internal, m_path));
}

FileError InPlaceFile::open(const QString &path)
{
    m_path = path;
    m_file.setFileName(path);
    // Unbuffered, so that a write fails where it fails rather than at a
    // later flush.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return FileError::make(FileError::Kind::CannotOpen, path, m_file.errorString());
    m_oldSize = m_file.size();
    return FileError::none();
}

FileError InPlaceFile::begin(qint64 newSize)
{
    if (const FileError error = keepCopy(); error.failed())
        return error;
    if (const FileError error = reserve(newSize); error.failed()) {
        discardCopy();
        return error;
    }
    if (!m_file.seek(0)) {
        discardCopy();
        return deviceError(m_path, m_file);
    }
    m_begun = true;
    m_written = 0;
    return FileError::none();
}

FileError InPlaceFile::write(QByteArrayView bytes)
{
    if (!m_begun)
        return FileError::make(FileError::Kind::Internal, m_path, QStringLiteral("written before its size was known"));
    if (!writeAll(m_file, bytes))
        return deviceError(m_path, m_file);
    m_written += bytes.size();
    return FileError::none();
}

int InPlaceFile::syncs()
{
    return syncsMade;
}

FileError InPlaceFile::finish(const FileError &failure)
{
    if (!m_begun) {
        if (failure.failed())
            return failure;
        // Nothing was written: the new text is empty.
        if (const FileError error = begin(0); error.failed())
            return error;
    }
    if (failure.failed())
        return restore(failure);
    if (!m_file.resize(m_written) || !syncToDisk(m_file))
        return restore(deviceError(m_path, m_file));
    m_begun = false;
    m_file.close();
    discardCopy();
    return FileError::none();
}

FileError InPlaceFile::keepCopy()
{
    const QString folderPath = recoveryFolder();
    const QString absolutePath = QFileInfo(m_path).absoluteFilePath();
    const auto failed = [&](FileError::Kind kind, const QString &reason) {
        discardCopy();
        return FileError::make(kind, m_path,
                               QStringLiteral("no copy of its old text could be kept in ") + QDir::toNativeSeparators(folderPath)
                                   + QStringLiteral(": ") + reason);
    };
    QDir folder;
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!folder.mkpath(QFileInfo(folderPath).path())
        || (!QFileInfo(folderPath).isDir() && !folder.mkdir(folderPath, ownerOnly)))
        return failed(FileError::Kind::CannotOpen, QStringLiteral("the folder cannot be made"));

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    QFile copy;
    for (int attempt = 1; !copy.isOpen(); ++attempt) {
        copy.setFileName(QDir(folderPath).filePath(copyName(QFileInfo(m_path), stamp, attempt)));
        // The copy holds the user's text, so only its owner may read it.
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)
            && (!copy.exists() || attempt >= 1000))
            return failed(FileError::Kind::CannotOpen, copy.errorString());
    }
    m_copyPath = copy.fileName();
    if (!m_file.seek(0) || !copyBytes(m_file, copy) || !syncToDisk(copy)) {
        const QFile &culprit = m_file.error() != QFileDevice::NoError ? m_file : copy;
        return failed(culprit.error() == QFileDevice::ResourceError ? FileError::Kind::DiskFull : FileError::Kind::WriteFailed,
                      culprit.errorString());
    }
    copy.close();

    // The note is written only once the copy is whole and on the disk.
    QSaveFile note(m_copyPath + noteSuffix);
    if (!note.open(QIODevice::WriteOnly) || !writeAll(note, absolutePath.toUtf8() + '\n') || !note.commit())
        return failed(note.error() == QFileDevice::ResourceError ? FileError::Kind::DiskFull : FileError::Kind::CannotOpen,
                      note.errorString());
    syncFolder(folderPath);
    return FileError::none();
}

FileError InPlaceFile::reserve(qint64 size)
{
#ifdef Q_OS_UNIX
    // A text beyond the user's file size limit is refused before the file
    // is asked for anything (some file systems date a file even for a
    // reservation they refuse).
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && rlim_t(size) > limit.rlim_cur)
        return systemError(m_path, EFBIG);
#endif
#ifdef Q_OS_LINUX
    // Only Linux reserves without writing; elsewhere a write that finds no
    // room is undone from the copy instead.
    if (size <= 0)
        return FileError::none();
    int result;
    do {
        result = ::fallocate(m_file.handle(), 0, 0, size);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return FileError::none();
    const int code = errno;
    if (code == EOPNOTSUPP || code == ENOSYS)
        return FileError::none();
    // A reservation that failed part of the way may have grown the file.
    if (m_file.size() != m_oldSize)
        m_file.resize(m_oldSize);
    return systemError(m_path, code);
#else
    Q_UNUSED(size);
    return FileError::none();
#endif
}

FileError InPlaceFile::restore(const FileError &failure)
{
    m_begun = false;
    QFile copy(m_copyPath);
    const bool restored = copy.open(QIODevice::ReadOnly) && m_file.seek(0) && copyBytes(copy, m_file)
                          && m_file.resize(m_oldSize) && syncToDisk(m_file);
    copy.close();
    m_file.close();
    if (restored) {
        discardCopy();
        return failure;
    }
    FileError kept = failure;
    kept.keptIn = m_copyPath;
    return kept;
}

void InPlaceFile::discardCopy()
{
    if (m_copyPath.isEmpty())
        return;
    QFile::remove(m_copyPath + noteSuffix);
    QFile::remove(m_copyPath);
    m_copyPath.clear();
}
