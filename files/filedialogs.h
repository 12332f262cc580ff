#pragma once

#include <QString>

class DirListBox;
class DriveListBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

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

// The fields below the tabs: "File &name:" and "Files of &type:" with their
// boxes, and beside them the dialog's default button and Cancel.
QGridLayout *NameAndTypeFields(QLabel *(&labels)[2], QLineEdit *&name, QComboBox *&type, QPushButton *&ok,
                               const QString &okCaption, QPushButton *&cancel);
// A row below those fields: "Encoding:" and its box, under the type's.
void AddEncodingField(QGridLayout &fields, QLabel *&label, QComboBox *&box);

} // namespace FileDialogs
