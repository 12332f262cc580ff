// Times the file list filling itself from a folder of 10,000 files, set
// against QDir's own listing of the same folder with the same filter and
// order, and prints the figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// The list is shown, and its time includes the layout and paint that follow
// the filling.

#include "benchsupport.h"
#include "platform/filelistbox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <iterator>
#include <vector>

namespace {

constexpr int fileCount = 10000;
constexpr int runs = 11;

// Names as a folder of notes has them: mostly .txt, some other kinds, in
// mixed case.
void fillFolder(const QString &folder)
{
    static const char *const kinds[] = {".txt", ".TXT", ".log", ".md", ".ini", ""};
    for (int i = 0; i < fileCount; ++i) {
        const QString name = QStringLiteral("%1 note %2%3")
                                 .arg(i % 3 ? QStringLiteral("Draft") : QStringLiteral("letter"))
                                 .arg(i, 5, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(kinds[i % std::size(kinds)]));
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file.fileName()));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");
    fillFolder(folder.path());
    // An empty folder to go back to, so that each run fills the list anew.
    const QString empty = folder.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);

    FileListBox list;
    list.resize(300, 400);
    list.show();
    QCoreApplication::processEvents();

    int listed = 0;
    std::vector<double> listMs, dirMs;
    for (int run = 0; run < runs; ++run) {
        list.setPath(empty);
        QCoreApplication::processEvents();
        listMs.push_back(elapsedMs([&] {
            if (list.setPath(folder.path()).failed())
                qFatal("cannot list %s", qPrintable(folder.path()));
            QCoreApplication::processEvents();
        }));
        listed = list.count();
        // The names are freed outside the time, as the list's items are.
        QStringList names;
        dirMs.push_back(elapsedMs([&] {
            names = QDir(folder.path()).entryList({QStringLiteral("*")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
        }));
        if (names.size() != fileCount)
            qFatal("QDir listed %d files", int(names.size()));
    }
    if (listed != fileCount)
        qFatal("the list holds %d files", listed);

    const double dir = median(dirMs);
    printFigure(QStringLiteral("file list setPath, 10,000 files"), median(listMs), QStringLiteral("ms"), dir,
                QStringLiteral("QDir::entryList of the same folder, %1 ms").arg(dir, 0, 'f', 1),
                QStringLiteral("under 1.5, and under 200 ms"));
    return 0;
}
