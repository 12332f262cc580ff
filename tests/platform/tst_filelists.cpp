#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"
#include "platform/filelistbox.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtTest>

namespace {

// Folders end in "/", the rest are files.
void make(const QString &parent, const QStringList &names)
{
    for (const QString &name : names) {
        QFile file(QDir(parent).filePath(name));
        const bool folder = name.endsWith(u'/');
        QVERIFY2(QDir(parent).mkpath(folder ? name : QStringLiteral(".")) && (folder || file.open(QIODevice::WriteOnly)),
                 qPrintable(name));
    }
}

QStringList texts(const QListWidget &list)
{
    QStringList all;
    for (int row = 0; row < list.count(); ++row)
        all << list.item(row)->text();
    return all;
}

QPoint centreOf(const QListWidget &list, const QString &text)
{
    return list.visualItemRect(list.findItems(text, Qt::MatchExactly).value(0)).center();
}

} // namespace

class FileListsTest : public FreshStateSuite
{
    Q_OBJECT

private slots:
    // The volume with the longest root that holds the path on a folder
    // boundary; none for a path on no listed volume, and the drive stays.
    void aPathChoosesTheVolumeThatHoldsItAndTheUsersChoiceRaisesChangeOnce()
    {
        DriveListBox box;
        QString mounted;
        for (int i = 0; i < box.count(); ++i) {
            const QString root = QDir::toNativeSeparators(box.itemData(i).toString());
            mounted = root.size() > mounted.size() && root != QDir::rootPath() ? root : mounted;
        }
        const QString before = box.Drive();
        QSignalSpy changes(&box, &DriveListBox::Change);
        for (const QString &path : {QStringLiteral("relative/folder"), QString(), QStringLiteral(":/resource")})
            QCOMPARE(box.setDrive(path).number, ErrorNumber::DeviceUnavailable);
        QCOMPARE(box.Drive(), before);
        QCOMPARE(changes.count(), 0);
        if (mounted.isEmpty())
            QSKIP("no volume is mounted below the root here");
        QVERIFY(box.setDrive(mounted + QStringLiteral("/some/folder")).ok());
        QCOMPARE(box.Drive(), mounted);
        // Only the same name run on is not a folder on the volume.
        QVERIFY(box.setDrive(mounted + QStringLiteral("x/y")).ok());
        QVERIFY(box.Drive() != mounted);
        changes.clear();
        QTest::keyClick(&box, box.currentIndex() > 0 ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(changes.count(), 1);
    }

    // It starts in the current folder, and takes relative paths from there.
    void theFolderListShowsTheWayDownThenTheFolderThenItsSubfoldersByName()
    {
        const QString folder = QDir::currentPath() + QStringLiteral("/Top/Mid");
        make(folder, {"Beta/", "alpha/", "gamma/", ".hidden/", "file.txt"});
        DirListBox list;
        QCOMPARE(list.Path(), QDir::toNativeSeparators(QDir::currentPath()));
        QVERIFY(list.setPath(QStringLiteral("Top/../Top/Mid/")).ok());
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder));
        QStringList way = {QDir::toNativeSeparators(QDir::rootPath())};
        way += folder.split(u'/', Qt::SkipEmptyParts);
        QCOMPARE(texts(list), way + QStringList({"alpha", "Beta", "gamma"}));
        QCOMPARE(list.currentRow(), way.size() - 1);
        QVERIFY(list.currentItem()->isSelected());
        QCOMPARE(list.item(2)->data(DirListBox::DepthRole).toInt(), 2);
        QCOMPARE(list.item(way.size())->data(DirListBox::DepthRole).toInt(), way.size());
        QCOMPARE(list.item(way.size())->data(DirListBox::PathRole).toString(), folder + QStringLiteral("/alpha"));
    }

    // Opening the folder itself lists it again without Change. Names with
    // wildcard characters or differing in case only are opened exactly.
    void openingAFolderByDoubleClickOrEnterMakesItTheFolderAndRaisesChangeOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("listedBelow"); // the only subfolder
        QTest::newRow("a subfolder, double-clicked") << "One" << "double-click" << "inside";
        QTest::newRow("a folder on the way, by Return") << "Top" << "return" << "Folders";
        QTest::newRow("a subfolder, by Enter") << "Two" << "enter" << "inside";
        QTest::newRow("the folder itself") << "Folders" << "double-click" << "";
        for (const char *name : {"a[1]", "*", "x?y", "Foo", "foo"})
            QTest::addRow("%s", name) << name << "return" << "inside";
    }

    void openingAFolderByDoubleClickOrEnterMakesItTheFolderAndRaisesChangeOnce()
    {
        QFETCH(QString, name);
        QFETCH(QString, how);
        QFETCH(QString, listedBelow);
        const QString top = fresh().path(QStringLiteral("Top"));
        const QString folder = top + QStringLiteral("/Folders");
        make(folder, {"One/", "Two/", "a[1]/", "a1/", "!x/", "*/", "x?y/", "x!y/", "Foo/", "foo/"});
        const QString opened = name == u"Top" ? top : name == u"Folders" ? folder : folder + u'/' + name;
        if (listedBelow == u"inside")
            make(opened, {"inside/"});
        DirListBox list;
        QVERIFY(list.setPath(folder).ok());
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy changes(&list, &DirListBox::Change);
        const QPoint at = centreOf(list, name);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        if (how == u"double-click")
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
        else
            QTest::keyClick(&list, how == u"enter" ? Qt::Key_Enter : Qt::Key_Return);
        QCOMPARE(list.Path(), QDir::toNativeSeparators(opened));
        QCOMPARE(changes.count(), opened == folder ? 0 : 1);
        QCOMPARE(list.currentItem()->text(), name);
        if (!listedBelow.isEmpty())
            QCOMPARE(texts(list).mid(list.currentRow() + 1), QStringList {listedBelow});
    }

    // Neither list, nor what it shows, changes.
    void aPathThatIsNotAReadableFolderIsRefusedByBothLists()
    {
        const QString folder = fresh().path(QStringLiteral("Top"));
        make(folder, {"Sub/", "Locked/", "a.txt"});
        QStringList refused = {folder + QStringLiteral("/Missing"), folder + QStringLiteral("/a.txt"), QString()};
        QFile locked(folder + QStringLiteral("/Locked"));
        // Only where permissions bind: the superuser reads any folder.
        if (locked.setPermissions({}) && !QDir(locked.fileName()).isReadable())
            refused << locked.fileName();
        DirListBox folders;
        FileListBox files;
        QVERIFY(folders.setPath(folder).ok() && files.setPath(folder).ok());
        QSignalSpy changes(&folders, &DirListBox::Change);
        for (const QString &path : refused) {
            const Error error = folders.setPath(path);
            QCOMPARE(error.number, ErrorNumber::PathNotFound);
            QVERIFY2(error.description.contains(QDir::toNativeSeparators(path)), qPrintable(error.description));
            QCOMPARE(files.setPath(path).number, ErrorNumber::PathNotFound);
        }
        locked.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(folders.Path(), QDir::toNativeSeparators(folder));
        QCOMPARE(texts(folders).mid(folders.currentRow()), QStringList({"Top", "Locked", "Sub"}));
        QCOMPARE(changes.count(), 0);
        QCOMPARE(texts(files), QStringList {"a.txt"});
    }

    // Choosing a name by mouse or key raises Click, even for the name chosen
    // already; filling the list raises none and leaves no name chosen.
    void theFileListShowsEveryFileOrThoseMatchingInAnyCaseAndRaisesClickForTheUsersChoice()
    {
        const QString folder = fresh().path(QStringLiteral("Files"));
        make(folder, {"folder.txt/", "b.md", "README.TXT", "Makefile", "a.txt", ".hidden.txt", "[x].txt", "q?.txt"});
        FileListBox list;
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy clicks(&list, &FileListBox::Click);
        QCOMPARE(list.Pattern(), QStringLiteral("*.*"));
        QVERIFY(list.setPath(folder).ok());
        QCOMPARE(texts(list), QStringList({"[x].txt", "a.txt", "b.md", "Makefile", "q?.txt", "README.TXT"}));
        QCOMPARE(list.FileName(), QString());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(list, QStringLiteral("b.md")));
        QCOMPARE(list.FileName(), QStringLiteral("b.md"));
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.FileName(), QStringLiteral("Makefile"));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(list, QStringLiteral("Makefile")));
        QCOMPARE(clicks.count(), 3);
        list.setPattern(QStringLiteral("*.md; *.TXT"));
        QCOMPARE(texts(list), QStringList({"[x].txt", "a.txt", "b.md", "q?.txt", "README.TXT"}));
        list.setPattern(QStringLiteral("?akefile"));
        QCOMPARE(texts(list), QStringList({"Makefile"}));
        QCOMPARE(list.FileName(), QString());
        QCOMPARE(clicks.count(), 3);
    }
};

QUILLORY_SUITE(FileListsTest)
#include "tst_filelists.moc"
