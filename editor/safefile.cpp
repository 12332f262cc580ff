#include "editor/safefile.h"

#include "editor/inplacefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::function<void(const QString &)> beforeCommit;

// The bits a file has, without the current user's view of them.
constexpr QFileDevice::Permissions modeBits = ~QFileDevice::Permissions(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);

bool isCharacterDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode);
#else
    Q_UNUSED(path);
    return false;
#endif
}

// A write beyond the file size limit raises SIGXFSZ, which ends the program
// with every unsaved document; ignored, the write fails with EFBIG and the
// save reports it. Checked at every save, since the program (or a test) may
// have put the default back since; a handler of the program's own stays.
void letTooLargeWritesFail()
{
#ifdef Q_OS_UNIX
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO)
        && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
#endif
}

// Whether no new file can be made in the folder of path (for the temporary
// file that would replace it).
bool folderTakesNoNewFile(const QFileInfo &info)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(info.absolutePath()).constData(), W_OK | X_OK) != 0;
#else
    return !QFileInfo(info.absolutePath()).isWritable();
#endif
}

// The new file is made by whoever saves; root saving someone else's file
// gives it back its owner and group, and a user in the file's group keeps
// that at least. Where neither is allowed the file becomes the user's, as
// any new file would.
void keepOwnerAndGroup(QSaveFile &file, const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat old {};
    struct stat fresh {};
    const int fd = file.handle();
    if (::stat(QFile::encodeName(path).constData(), &old) != 0 || ::fstat(fd, &fresh) != 0)
        return;
    if (old.st_uid == fresh.st_uid && old.st_gid == fresh.st_gid)
        return;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && old.st_gid != fresh.st_gid)
        (void)::fchown(fd, uid_t(-1), old.st_gid);
#else
    Q_UNUSED(file);
    Q_UNUSED(path);
#endif
}

} // namespace

SafeFileWriter::SafeFileWriter() = default;
SafeFileWriter::~SafeFileWriter() = default;

FileError SafeFileWriter::open(const QString &path, std::optional<QFileDevice::Permissions> permissions)
{
    m_path = path;
    m_permissions = permissions;
    letTooLargeWritesFail();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.dir().exists())
        return FileError::make(FileError::Kind::NoFolder, path);
    if (info.exists() && !info.isFile()) {
        // A device such as /dev/null has no file to replace; anything else
        // (a folder, a pipe) cannot take the text.
        if (!isCharacterDevice(path))
            return FileError::make(FileError::Kind::NotAFile, path);
        m_device = std::make_unique<QFile>(path);
        m_file = m_device.get();
    } else {
        m_saveFile = std::make_unique<QSaveFile>(path);
        m_file = m_saveFile.get();
    }
    if (!m_file->open(QIODevice::WriteOnly)) {
        // A writable file in a folder where no temporary file can be made
        // can only be saved in place.
        if (m_saveFile && m_saveFile->error() == QFileDevice::OpenError && info.isFile() && folderTakesNoNewFile(info)) {
            m_saveFile.reset();
            m_file = nullptr;
            m_inPlace = std::make_unique<InPlaceFile>();
            FileError error = m_inPlace->open(path);
            // Before a byte of the new text goes in.
            if (error.ok() && permissions && (QFile::permissions(path) & modeBits) != (*permissions & modeBits)
                && !QFile::setPermissions(path, *permissions))
                error = FileError::make(FileError::Kind::CannotOpen, path, QStringLiteral("its permissions cannot be set"));
            if (error.failed())
                m_inPlace.reset();
            return error;
        }
        const FileError error = FileError::make(FileError::Kind::CannotOpen, path, m_file->errorString());
        m_file = nullptr;
        return error;
    }
    if (m_saveFile && permissions && !m_saveFile->setPermissions(*permissions)) {
        const FileError error = FileError::make(FileError::Kind::CannotOpen, path, m_saveFile->errorString());
        m_saveFile.reset();
        m_file = nullptr;
        return error;
    }
    if (m_saveFile && info.exists())
        keepOwnerAndGroup(*m_saveFile, path);
    return FileError::none();
}

std::optional<QFileDevice::Permissions> SafeFileWriter::permissions() const
{
    if (m_device)
        return std::nullopt;
    if (m_permissions)
        return m_permissions;
    if (m_saveFile)
        return m_saveFile->permissions();
    if (m_inPlace)
        return QFile::permissions(m_path);
    return std::nullopt;
}

FileError SafeFileWriter::reserve(qint64 size)
{
    if (m_inPlace && m_writeError.ok() && !m_inPlace->begun())
        m_writeError = m_inPlace->begin(size);
    return m_writeError;
}

void SafeFileWriter::write(QByteArrayView bytes)
{
    if (m_writeError.failed())
        return;
    if (m_inPlace) {
        m_writeError = m_inPlace->write(bytes);
        return;
    }
    if (!m_file)
        return;
    // A write can take only part of the bytes (the device is full, or the
    // file has grown to its size limit); the rest is written again so that
    // the failure shows.
    while (!bytes.isEmpty()) {
        const qint64 written = m_file->write(bytes.data(), bytes.size());
        if (written <= 0) {
            m_writeError = fileError(*m_file);
            return;
        }
        bytes = bytes.sliced(written);
    }
}

FileError SafeFileWriter::copyFrom(const QString &path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return FileError::make(FileError::Kind::ReadFailed, path, source.errorString());
    const qint64 size = source.size();
    (void)reserve(size);
    if (m_writeError.failed())
        return m_writeError;
#ifdef Q_OS_LINUX
    if (m_saveFile && m_saveFile->flush()) {
        loff_t from = 0;
        while (from < size) {
            const ssize_t copied = ::copy_file_range(source.handle(), &from, m_saveFile->handle(), nullptr,
                                                     size_t(std::min<qint64>(size - from, qint64(1) << 30)), 0);
            if (copied > 0)
                continue;
            // Nothing copied yet: the file system cannot, so the bytes are
            // written; part copied: the disk is full or failing.
            if (copied < 0 && from == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
                break;
            const int code = copied < 0 ? errno : EIO;
            m_writeError = FileError::make(code == ENOSPC || code == EDQUOT ? FileError::Kind::DiskFull : FileError::Kind::WriteFailed,
                                           m_path, QString::fromLocal8Bit(std::strerror(code)));
            return m_writeError;
        }
        if (from >= size) {
            // The temporary file's place follows the bytes put into it.
            (void)m_saveFile->seek(size);
            return m_writeError;
        }
    }
#endif
    QByteArray bytes(1 << 20, Qt::Uninitialized);
    for (qint64 done = 0; done < size && m_writeError.ok();) {
        const qint64 got = source.read(bytes.data(), std::min<qint64>(bytes.size(), size - done));
        if (got <= 0)
            return FileError::make(FileError::Kind::ReadFailed, path, source.errorString());
        write(QByteArrayView(bytes.constData(), got));
        done += got;
    }
    return m_writeError;
}

FileError SafeFileWriter::commit()
{
    if (m_inPlace) {
        const FileError error = m_inPlace->finish(m_writeError);
        m_inPlace.reset();
        return error;
    }
    if (!m_file)
        return FileError::make(FileError::Kind::CannotOpen, m_path);
    if (m_writeError.ok() && !m_file->flush())
        m_writeError = fileError(*m_file);
    if (beforeCommit)
        beforeCommit(m_path);
    if (m_saveFile) {
        if (m_writeError.failed()) {
            m_saveFile->cancelWriting();
            m_saveFile->commit();
        } else if (!m_saveFile->commit()) {
            m_writeError = fileError(*m_saveFile);
        }
    } else {
        m_device->close();
    }
    m_file = nullptr;
    return m_writeError;
}

void SafeFileWriter::setBeforeCommit(std::function<void(const QString &)> hook)
{
    beforeCommit = std::move(hook);
}

FileError SafeFileWriter::fileError(const QFileDevice &file) const
{
    const auto kind = file.error() == QFileDevice::ResourceError ? FileError::Kind::DiskFull : FileError::Kind::WriteFailed;
    return FileError::make(kind, m_path, file.errorString());
}
