#include "platform/drivelistbox.h"
#include "freshsuite.h"
#include "suites.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace {

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
    void theVolumesAreFoldersSortedByRootWithTheRootAmongThem()
    {
        DriveListBox box;
        const QStringList listed = roots(box);
        QVERIFY(!listed.isEmpty());
        QStringList sorted = listed;
        sorted.sort();
        QCOMPARE(listed, sorted);
        QCOMPARE(listed.count(QDir::rootPath()), 1);
        for (int i = 0; i < listed.size(); ++i) {
            QVERIFY2(QFileInfo(listed[i]).isDir(), qPrintable(listed[i]));
            QVERIFY(box.itemText(i).startsWith(listed[i]));
        }
        // The volume of the current folder is chosen to begin with.
        const QString chosen = QDir::fromNativeSeparators(box.Drive());
        QVERIFY(QDir::currentPath() == chosen || chosen == QDir::rootPath()
                || QDir::currentPath().startsWith(chosen + u'/'));
    }

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

QUILLORY_SUITE(DriveListTest)
#include "tst_filelists.moc"
