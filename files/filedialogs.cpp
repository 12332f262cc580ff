#include "files/filedialogs.h"

#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

QGridLayout *NameAndTypeFields(QLabel *(&labels)[2], QLineEdit *&name, QComboBox *&type, QPushButton *&ok,
                               const QString &okCaption, QPushButton *&cancel)
{
    labels[0] = new QLabel(QStringLiteral("File &name:"));
    name = new QLineEdit;
    labels[0]->setBuddy(name);
    labels[1] = new QLabel(QStringLiteral("Files of &type:"));
    type = new QComboBox;
    labels[1]->setBuddy(type);
    ok = new QPushButton(okCaption);
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"));
    cancel->setAutoDefault(false);

    auto *fields = new QGridLayout;
    fields->addWidget(labels[0], 0, 0);
    fields->addWidget(name, 0, 1);
    fields->addWidget(ok, 0, 2);
    fields->addWidget(labels[1], 1, 0);
    fields->addWidget(type, 1, 1);
    fields->addWidget(cancel, 1, 2);
    return fields;
}

void AddEncodingField(QGridLayout &fields, QLabel *&label, QComboBox *&box)
{
    label = new QLabel(QStringLiteral("Encoding:"));
    box = new QComboBox;
    label->setBuddy(box);
    fields.addWidget(label, 2, 0);
    fields.addWidget(box, 2, 1);
}

} // namespace FileDialogs
