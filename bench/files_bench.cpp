// Times the file commands on a 100 MB document against the edit control's
// own load (and a new document window) and save of the same file, and prints
// each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)

#include "benchsupport.h"
#include "document/frmnotepad.h"
#include "files/menufile.h"
#include "platform/richtextbox.h"
#include "platform/testseam.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <vector>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tallowmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillory"));
    QTemporaryDir folder;
    // The recent files of the run go to a store of its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    TestSeam::enable();
    const int runs = 3;

    const QString path = QDir::toNativeSeparators(folder.filePath(QStringLiteral("prose.txt")));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(generateProse(100 * MB, true)) < 0)
            qFatal("cannot write %s", qPrintable(path));
    }
    for (const char *name : {"b1", "b2"})
        QDir(folder.path()).mkpath(QString::fromLatin1(name));

    Quillo::resetModules();
    frmMainNote frame;
    frame.Show();

    std::vector<double> load, empty, open, save, saveThree;
    for (int run = 0; run < runs; ++run) {
        // A big file opens at once: what a document window costs is then
        // most of the opening, and is measured apart.
        empty.push_back(elapsedMs([&] { MenuFile::FileNew(); }));
        Quillo::DocState[frame.activeDocument()->Tag().toInt()].Modified = false;
        frame.activeDocument()->Unload();

        RichTextBox box;
        load.push_back(elapsedMs([&] { (void)box.LoadFile(path); }));
        save.push_back(elapsedMs([&] { (void)box.SaveFile(path); }));

        open.push_back(elapsedMs([&] { MenuFile::OpenFile(path); }));
        frmNotePad *document = frame.activeDocument();
        const QString list = path + QStringLiteral("; ") + folder.filePath(QStringLiteral("b1/prose.txt"))
                             + QStringLiteral("; ") + folder.filePath(QStringLiteral("b2/prose.txt"));
        saveThree.push_back(elapsedMs([&] { MenuFile::SaveDocument(*document, list); }));
        Quillo::DocState[document->Tag().toInt()].Modified = false;
        document->Unload();
    }
    if (!TestSeam::shownMessages().isEmpty())
        qFatal("a file command failed: %s", qPrintable(TestSeam::shownMessages().first().text));
    printFigure(QStringLiteral("open 100 MB through OpenFile"), median(open), QStringLiteral("ms"), median(empty) + median(load),
                QStringLiteral("a new window and RichTextBox::LoadFile"), QStringLiteral("1.1"));
    // The backups are copies of the main file, not the text written again.
    printFigure(QStringLiteral("save 100 MB with two backups through SaveDocument"), median(saveThree),
                QStringLiteral("ms"), median(save), QStringLiteral("one RichTextBox::SaveFile"), QStringLiteral("1.3"));
    return 0;
}
