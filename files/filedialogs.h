#pragma once

#include <QString>

class DirListBox;
class DriveListBox;
class QComboBox;

// What the Open and Save dialogs do alike.
namespace FileDialogs {

// The pattern of a file type entry: what stands between its parentheses.
QString TypePattern(const QString &entry);
// A folder joined with a name: directly when the folder ends with the
// separator (a root), else with the separator between them.
QString JoinPath(const QString &folder, const QString &name);
// Follows a drive chosen in drive to its folder list; a drive that cannot
// be read puts the drive of the list's folder back, without a message.
void FollowDrive(DriveListBox &drive, DirListBox &folder);

} // namespace FileDialogs
