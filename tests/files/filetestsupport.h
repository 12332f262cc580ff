#pragma once

#include "filebytes.h"
#include "files/frmopendlg.h"
#include "files/frmsavedlg.h"
#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"
#include "platform/testseam.h"

#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTest>

#include <functional>

// Real files and the file dialogs, driven through their controls.
namespace FileTest {

inline QByteArray read(const QString &path)
{
    return readBytes(path);
}

inline void write(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeBytes(path, bytes));
}

inline QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The next Open dialog opens name from folder on its browsing tab.
inline void openThroughDialog(const QString &folder, const QString &name)
{
    TestSeam::queueModalAction([folder, name](QDialog &dialog) {
        auto &open = static_cast<frmOpenDlg &>(dialog);
        open.SSTab1->setCurrentIndex(1);
        (void)open.dirList->setPath(folder);
        open.Filename->setText(name);
        open.cmdOpen->click();
    });
}

// The next Save dialog: into folder, under name, after whatever else
// prepare does; then Save is pressed.
inline void saveThroughDialog(const QString &folder, const QString &name,
                              const std::function<void(frmSaveDlg &)> &prepare = {})
{
    TestSeam::queueModalAction([folder, name, prepare](QDialog &dialog) {
        auto &save = static_cast<frmSaveDlg &>(dialog);
        (void)save.dirList->setPath(folder);
        save.Filename->setText(name);
        if (prepare)
            prepare(save);
        save.cmdSave->click();
    });
}

} // namespace FileTest
