#include "platform/dirlistbox.h"
#include "platform/drivelistbox.h"
#include "platform/filelistbox.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

void makeFolders(const QString &parent, const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY2(QDir(parent).mkpath(name), qPrintable(name));
}

void makeFiles(const QString &parent, const QStringList &names)
{
    QVERIFY(QDir().mkpath(parent));
    for (const QString &name : names) {
        QFile file(QDir(parent).filePath(name));
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(name));
    }
}

QStringList texts(const QListWidget &list)
{
    QStringList all;
    for (int row = 0; row < list.count(); ++row)
        all << list.item(row)->text();
    return all;
}

QListWidgetItem *entry(const QListWidget &list, const QString &text)
{
    const QList<QListWidgetItem *> found = list.findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.first() : nullptr;
}

QPoint centreOf(const QListWidget &list, QListWidgetItem *item)
{
    return list.visualItemRect(item).center();
}

// As the window system delivers one: a click, then the second press as a
// double click.
void doubleClick(QListWidget &list, QListWidgetItem *item)
{
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(list, item));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centreOf(list, item));
}

// Every root the box offers, in its order.
QStringList roots(DriveListBox &box)
{
    QStringList all;
    const int chosen = box.currentIndex();
    for (int i = 0; i < box.count(); ++i) {
        box.setCurrentIndex(i);
        all << box.Drive();
    }
    box.setCurrentIndex(chosen);
    return all;
}

} // namespace

class DriveListTest : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void aPathOnNoListedVolumeFailsAndTheChoiceStays()
    {
        DriveListBox box;
        const QString before = box.Drive();
        QSignalSpy changes(&box, &DriveListBox::Change);
        for (const QString &path : {QStringLiteral("relative/folder"), QString(), QStringLiteral(":/resource")}) {
            const Error error = box.setDrive(path);
            QCOMPARE(error.number, ErrorNumber::DeviceUnavailable);
            QVERIFY(error.description.startsWith(QStringLiteral("Device unavailable")));
        }
        QCOMPARE(box.Drive(), before);
        QCOMPARE(changes.count(), 0);
    }

    void aPathGoesToTheVolumeWithTheLongestRootThatHoldsItOnAFolderBoundary()
    {
        DriveListBox box;
        QString mounted;
        for (const QString &root : roots(box))
            mounted = root != QDir::rootPath() && root.size() > mounted.size() ? root : mounted;
        if (mounted.isEmpty())
            QSKIP("no volume is mounted below the root here");
        const QString below = QFileInfo(mounted).path();

        QVERIFY(box.setDrive(QDir::rootPath()).ok());
        QCOMPARE(box.Drive(), QDir::rootPath());
        QSignalSpy changes(&box, &DriveListBox::Change);
        QVERIFY(box.setDrive(mounted + QStringLiteral("/some/folder")).ok());
        QCOMPARE(box.Drive(), mounted);
        QCOMPARE(changes.count(), 1);
        QVERIFY(box.setDrive(mounted).ok());
        QVERIFY(box.setDrive(mounted + QStringLiteral("/../") + QFileInfo(mounted).fileName()).ok());
        QCOMPARE(changes.count(), 1);
        // Only the same name run on: not a folder on the volume.
        QVERIFY(box.setDrive(mounted + QStringLiteral("x/y")).ok());
        QVERIFY(box.Drive() != mounted);
        QVERIFY(below == box.Drive() || below.startsWith(box.Drive()));
        QCOMPARE(changes.count(), 2);
    }

    void theUsersChoiceRaisesChangeOnce()
    {
        DriveListBox box;
        if (box.count() < 2)
            QSKIP("only one volume here");
        box.setCurrentIndex(0);
        QSignalSpy changes(&box, &DriveListBox::Change);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.currentIndex(), 1);
        QCOMPARE(changes.count(), 1);
        QTest::keyClick(&box, Qt::Key_Up);
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(box.currentIndex(), 0);
        QCOMPARE(changes.count(), 2);
    }
};

class DirListTest : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void theListShowsTheWayDownThenTheFolderThenItsSubfoldersByName()
    {
        const QString folder = fresh().path(QStringLiteral("Top/Mid"));
        makeFolders(folder, {QStringLiteral("Beta"), QStringLiteral("alpha"), QStringLiteral("gamma"),
                             QStringLiteral(".hidden")});
        makeFiles(folder, {QStringLiteral("file.txt")});
        DirListBox list;
        QVERIFY(list.setPath(folder).ok());
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder));

        QStringList way = {QDir::toNativeSeparators(QDir::rootPath())};
        way += folder.split(u'/', Qt::SkipEmptyParts);
        QCOMPARE(texts(list), way + QStringList({"alpha", "Beta", "gamma"}));
        QCOMPARE(list.currentRow(), way.size() - 1);
        QVERIFY(list.currentItem()->isSelected());
        for (int row = 0; row < list.count(); ++row) {
            const int depth = list.item(row)->data(DirListBox::DepthRole).toInt();
            QCOMPARE(depth, std::min(row, int(way.size())));
        }
        QCOMPARE(list.item(way.size())->data(DirListBox::PathRole).toString(), folder + QStringLiteral("/alpha"));
    }

    void theCurrentFolderIsListedAtFirstAndRelativePathsStartThere()
    {
        makeFolders(QDir::currentPath(), {QStringLiteral("Sub/Inner")});
        DirListBox list;
        QCOMPARE(list.Path(), QDir::toNativeSeparators(QDir::currentPath()));
        QCOMPARE(list.currentItem()->text(), QFileInfo(QDir::currentPath()).fileName());
        QVERIFY(list.setPath(QStringLiteral("Sub/Inner/../Inner/")).ok());
        QCOMPARE(list.Path(), QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/Sub/Inner")));
    }

    void openingAnEntryByDoubleClickOrEnterMakesItTheFolderAndRaisesChangeOnce()
    {
        const QString folder = fresh().path(QStringLiteral("Top"));
        makeFolders(folder, {QStringLiteral("One/Deeper"), QStringLiteral("Two")});
        DirListBox list;
        QVERIFY(list.setPath(folder).ok());
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy changes(&list, &DirListBox::Change);

        doubleClick(list, entry(list, QStringLiteral("One")));
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder + QStringLiteral("/One")));
        QCOMPARE(changes.count(), 1);
        QVERIFY(entry(list, QStringLiteral("Deeper")));

        list.setCurrentItem(entry(list, QStringLiteral("Top")));
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder));
        QCOMPARE(changes.count(), 2);
        list.setCurrentItem(entry(list, QStringLiteral("Two")));
        QTest::keyClick(&list, Qt::Key_Enter);
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder + QStringLiteral("/Two")));
        QCOMPARE(changes.count(), 3);

        // The folder itself: listed again, no change.
        doubleClick(list, list.currentItem());
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(changes.count(), 3);
    }

    void aPathThatIsNotAReadableFolderIsRefusedAndTheListStays()
    {
        const QString folder = fresh().path(QStringLiteral("Top"));
        makeFolders(folder, {QStringLiteral("Sub"), QStringLiteral("Locked")});
        makeFiles(folder, {QStringLiteral("file.txt")});
        DirListBox list;
        QVERIFY(list.setPath(folder).ok());
        const QStringList before = texts(list);
        QSignalSpy changes(&list, &DirListBox::Change);

        QStringList refused = {folder + QStringLiteral("/Missing"), folder + QStringLiteral("/file.txt"), QString()};
        QFile locked(folder + QStringLiteral("/Locked"));
        // Only where permissions bind: the superuser reads any folder.
        if (locked.setPermissions({}) && !QDir(locked.fileName()).isReadable())
            refused << locked.fileName();
        for (const QString &path : refused) {
            const Error error = list.setPath(path);
            QCOMPARE(error.number, ErrorNumber::PathNotFound);
            QVERIFY2(error.description.contains(QDir::toNativeSeparators(path)), qPrintable(error.description));
        }
        locked.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder));
        QCOMPARE(texts(list), before);
        QCOMPARE(changes.count(), 0);
    }

    void foldersWithWildcardCharactersOrCaseSiblingsAreFoundExactly()
    {
        const QString folder = fresh().path(QStringLiteral("Names"));
        makeFolders(folder, {QStringLiteral("a[1]/inside"), QStringLiteral("a1/other"), QStringLiteral("!x"),
                             QStringLiteral("*/starred"), QStringLiteral("x?y/asked"), QStringLiteral("x!y"),
                             QStringLiteral("Foo/upper"), QStringLiteral("foo/lower")});
        DirListBox list;
        QVERIFY(list.setPath(folder).ok());
        for (const char *name : {"a[1]", "a1", "!x", "*", "x?y", "x!y", "Foo", "foo"})
            QVERIFY2(entry(list, QString::fromUtf8(name)), name);

        const QList<std::pair<QString, QString>> held = {
            {QStringLiteral("a[1]"), QStringLiteral("inside")}, {QStringLiteral("*"), QStringLiteral("starred")},
            {QStringLiteral("x?y"), QStringLiteral("asked")},   {QStringLiteral("Foo"), QStringLiteral("upper")},
            {QStringLiteral("foo"), QStringLiteral("lower")},
        };
        for (const auto &[name, child] : held) {
            QVERIFY(list.setPath(folder + u'/' + name).ok());
            QCOMPARE(list.currentItem()->text(), name);
            QCOMPARE(texts(list).mid(list.currentRow() + 1), QStringList {child});
        }

        QVERIFY(list.setPath(folder).ok());
        list.setCurrentItem(entry(list, QStringLiteral("a[1]")));
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder + QStringLiteral("/a[1]")));
    }
};

class FileListTest : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void everyFileIsListedByDefaultAndPatternsMatchInAnyCase()
    {
        const QString folder = fresh().path(QStringLiteral("Files"));
        makeFolders(folder, {QStringLiteral("folder.txt")});
        makeFiles(folder, {QStringLiteral("b.md"), QStringLiteral("README.TXT"), QStringLiteral("Makefile"),
                           QStringLiteral("a.txt"), QStringLiteral(".hidden.txt"), QStringLiteral("[x].txt"),
                           QStringLiteral("q?.txt")});
        FileListBox list;
        QCOMPARE(list.Pattern(), QStringLiteral("*.*"));
        QVERIFY(list.setPath(folder).ok());
        QCOMPARE(texts(list), QStringList({"[x].txt", "a.txt", "b.md", "Makefile", "q?.txt", "README.TXT"}));

        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(texts(list), QStringList({"[x].txt", "a.txt", "q?.txt", "README.TXT"}));
        list.setPattern(QStringLiteral("*.md; *.TXT"));
        QCOMPARE(texts(list), QStringList({"[x].txt", "a.txt", "b.md", "q?.txt", "README.TXT"}));
        list.setPattern(QStringLiteral("?akefile"));
        QCOMPARE(texts(list), QStringList({"Makefile"}));
        list.setPattern(QStringLiteral("*.md;*.*"));
        QCOMPARE(texts(list).size(), 6);
    }

    void aPathThatIsNotAReadableFolderIsRefusedAndTheListStays()
    {
        const QString folder = fresh().path(QStringLiteral("Files"));
        makeFiles(folder, {QStringLiteral("a.txt")});
        FileListBox list;
        QVERIFY(list.setPath(folder).ok());
        for (const QString &path : {folder + QStringLiteral("/Missing"), folder + QStringLiteral("/a.txt")})
            QCOMPARE(list.setPath(path).number, ErrorNumber::PathNotFound);
        QCOMPARE(list.Path(), QDir::toNativeSeparators(folder));
        QCOMPARE(texts(list), QStringList {"a.txt"});
    }

    void clickIsRaisedWhenTheUserChoosesANameButNotWhenTheListIsFilled()
    {
        const QString folder = fresh().path(QStringLiteral("Files"));
        makeFiles(folder, {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")});
        FileListBox list;
        list.resize(300, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy clicks(&list, &FileListBox::Click);
        QVERIFY(list.setPath(folder).ok());
        QCOMPARE(list.FileName(), QString());

        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(list, list.item(1)));
        QCOMPARE(list.FileName(), QStringLiteral("b.txt"));
        QCOMPARE(clicks.count(), 1);
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(list.FileName(), QStringLiteral("c.txt"));
        QCOMPARE(clicks.count(), 2);
        // Clicking the chosen name again chooses it again.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(list, list.item(2)));
        QCOMPARE(clicks.count(), 3);

        list.setCurrentRow(0);
        QVERIFY(list.setPath(folder).ok());
        list.setPattern(QStringLiteral("a*"));
        list.setPattern(QStringLiteral("*.*"));
        QCOMPARE(clicks.count(), 3);
        QCOMPARE(list.FileName(), QString());
    }
};

QUILLORY_SUITE(DriveListTest)
QUILLORY_SUITE(DirListTest)
QUILLORY_SUITE(FileListTest)
#include "tst_filelists.moc"
