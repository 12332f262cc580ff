#pragma once

#include "editor/fileerror.h"

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class InPlaceFile;
class QFile;
class QFileDevice;
class QSaveFile;

// Writes a file so that a failed write leaves the file that was there
// before untouched: the bytes go to a temporary file that replaces it only
// once everything is written. The file keeps its permissions, and its owner
// and group where the user may give them (root always may). A character
// device (such as /dev/null) is written in place; other special files are
// refused.
//
// A file whose folder takes no new file (but the file itself may be written)
// is written in place, keeping a copy of its old text until the new one is on
// the disk (see InPlaceFile). Then the size of the whole new text must be
// given to reserve() before the first write, so that a text that cannot fit
// fails before the file changes.
//
// A write beyond the user's file size limit fails rather than ending the
// program.
//
// Given permissions, the file (but a device) ends with exactly those, new or
// not, and has them before the first byte of the new text is written.
class SafeFileWriter
{
public:
    SafeFileWriter();
    ~SafeFileWriter();
    FileError open(const QString &path, std::optional<QFileDevice::Permissions> permissions = std::nullopt);
    // Once open, the permissions the file has when written: those given, or
    // those it keeps, or a new file's; none for a device.
    std::optional<QFileDevice::Permissions> permissions() const;
    bool writesInPlace() const { return m_inPlace != nullptr; }
    // Keeps the copy of the old text and makes room for size bytes; does
    // nothing unless the file is written in place.
    FileError reserve(qint64 size);
    // A failed write is kept for commit to report; later writes do nothing.
    void write(QByteArrayView bytes);
    // Writes the whole of the file at path, as a copy the file system makes
    // where it can (sharing the blocks where it shares them), else byte by byte.
    FileError copyFrom(const QString &path);
    FileError commit();
    // For tests: called with the file's path just before a commit puts the
    // new file in its place (empty: nothing).
    static void setBeforeCommit(std::function<void(const QString &path)> hook);

private:
    FileError fileError(const QFileDevice &file) const;

    QString m_path;
    std::optional<QFileDevice::Permissions> m_permissions;
    std::unique_ptr<QSaveFile> m_saveFile;
    std::unique_ptr<QFile> m_device;
    std::unique_ptr<InPlaceFile> m_inPlace;
    QFileDevice *m_file = nullptr;
    FileError m_writeError;
};
