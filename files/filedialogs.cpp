#include "files/filedialogs.h"

#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"

#include <QDir>
#include <QSignalBlocker>

namespace FileDialogs {

QString TypePattern(const QString &entry)
{
    const qsizetype pos = entry.indexOf(QLatin1String("(*")) + 1;
    return entry.mid(pos, entry.size() - pos - 1);
}

QString JoinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QDir::separator() + name;
}

void FollowDrive(DriveListBox &drive, DirListBox &folder)
{
    if (folder.setPath(drive.Drive()).failed()) {
        // Going back is no new choice: the folder stays where it was.
        const QSignalBlocker quiet(drive);
        (void)drive.setDrive(folder.Path());
    }
}

} // namespace FileDialogs
