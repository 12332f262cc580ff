#pragma once

#include <QString>

// What went wrong reading or writing a file, as a value: what failed, the
// file, and the reason in the system's words where it gave some.
struct FileError
{
    enum class Kind {
        None,
        NoFolder,    // the folder the file should be in does not exist
        NoFile,      // the folder exists, the file does not
        NotAFile,    // a folder, a pipe or a device where a file should be
        NotReadable, // the user may not read it
        CannotOpen,  // it cannot be opened (or its old text kept) for another reason
        ReadFailed,
        WriteFailed,
        DiskFull,
        OutOfMemory,
        NotWritten,     // left as it was: a file before it failed
        ChangedOutside, // the file a text is read from holds other bytes now
        Internal,    // the engine was used the wrong way
    };

    Kind kind = Kind::None;
    QString path;
    QString reason;
    // Where the old text of a file written in place stays, when it could not
    // be put back.
    QString keptIn;

    bool failed() const { return kind != Kind::None; }
    bool ok() const { return kind == Kind::None; }

    static FileError none() { return {}; }
    static FileError make(Kind kind, const QString &path, const QString &reason = QString())
    {
        return {kind, path, reason, QString()};
    }
};
