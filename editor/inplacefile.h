#pragma once

#include "editor/fileerror.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>

// Where the old text of a file written in place is kept until its new text
// is safely on the disk: "<application>/recovery" in the user's cache folder,
// the application's name in lower case.
QString recoveryFolder();

// What a save in place that was cut short (the program killed, the machine
// switched off) left behind, one line per file, for the program to tell the
// user at start-up: "the old text of <file> is kept in <copy>". The copy
// takes the file's name and the time of the save ("notes 2024-05-01
// 10.22.33.txt"), so the user can find it, open it and delete it; it stays
// until then. Empty when no save was cut short.
QStringList leftRecoveryCopies();

// Writes over a file whose folder takes no new file, so that it cannot be
// replaced by a new one, without ever losing its old text:
//  - begin() first keeps a copy of the old bytes in the recovery folder,
//    synced to the disk, then reserves the room the new bytes need; either
//    failing leaves the file untouched;
//  - the new bytes are then written over the old ones;
//  - finish() cuts the file to the new length and syncs it, and only then
//    deletes the copy. After a failed write, or a finish() that is not
//    reached, the old bytes are written back from the copy.
// A copy that cannot be written back stays, and the error's keptIn says
// where.
class InPlaceFile
{
public:
    // How many times a file was synced to the disk so far, by any in-place
    // save: for tests.
    static int syncs();
    InPlaceFile() = default;
    ~InPlaceFile();
    InPlaceFile(const InPlaceFile &) = delete;
    InPlaceFile &operator=(const InPlaceFile &) = delete;

    FileError open(const QString &path);
    // newSize is the length of the whole new text.
    FileError begin(qint64 newSize);
    bool begun() const { return m_begun; }
    FileError write(QByteArrayView bytes);
    // Ends the save; with a failure, puts the old bytes back and returns it.
    FileError finish(const FileError &failure);

private:
    FileError keepCopy();
    FileError reserve(qint64 size);
    FileError restore(const FileError &failure);
    void discardCopy();

    QString m_path;
    QFile m_file;
    qint64 m_oldSize = 0;
    qint64 m_written = 0;
    bool m_begun = false;
    QString m_copyPath;
};
