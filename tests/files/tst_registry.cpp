#include "files/registry.h"
#include "programsuite.h"
#include "shell/actionarray.h"
#include "suites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QSettings>
#include <QTest>

namespace {

// A value the store does not hold.
const char *const absent = "<absent>";

QStringList texts(std::initializer_list<const char *> literals)
{
    QStringList list;
    for (const char *literal : literals)
        list.append(QString::fromUtf8(literal));
    return list;
}

QString key(int n)
{
    return QStringLiteral("Recent Files/RecentFile") + QString::number(n);
}

QString copyName(const QString &kind)
{
    static int copies = 0;
    return kind + QString::number(++copies);
}

// What Qt shows of an item's text: "&&" is one "&", and a single "&" marks
// the access key without being shown.
QString shownText(const QAction *item)
{
    const QString text = item->text();
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'&')
            shown += text.at(i);
        else if (++i < text.size())
            shown += text.at(i);
    }
    return shown;
}

// The recent files the File menu shows, as shown.
QStringList shownList(const frmMainNote &frame)
{
    QStringList shown;
    for (int n = 1; n <= 5; ++n) {
        if (frame.mnuFile1[10 + n]->isVisible())
            shown.append(shownText(frame.mnuFile1[10 + n]));
    }
    return shown;
}

} // namespace

class RecentFilesSuite : public ProgramSuite
{
    Q_OBJECT

protected:
    // Values put in the store as another run of the program left them.
    static void store(const QStringList &values)
    {
        QSettings settings;
        for (int n = 1; n <= values.size(); ++n) {
            if (values[n - 1] != QLatin1String(absent))
                settings.setValue(key(n), values[n - 1]);
        }
    }

    // RecentFile1 to RecentFile5 as a new run of the program reads them from
    // the store's file: the text, absent, or the kind of value it reads.
    QStringList stored() const
    {
        const QString copy = fresh().path(copyName(QStringLiteral("store")));
        copyStoreTo(copy);
        // Under a name of its own the file is read afresh, not taken from
        // what this run holds in memory.
        const QSettings fromFile(copy, QSettings::IniFormat);
        QStringList values;
        for (int n = 1; n <= 5; ++n) {
            const QVariant value = fromFile.value(key(n));
            if (!value.isValid())
                values.append(QString::fromLatin1(absent));
            else if (value.typeId() != QMetaType::QString)
                values.append(QStringLiteral("<%1>").arg(QString::fromLatin1(value.typeName())));
            else
                values.append(value.toString());
        }
        return values;
    }

    // A new run of the program with a new frame, reading the store's file.
    frmMainNote &restartedFrame()
    {
        const QString folder = fresh().path(copyName(QStringLiteral("restarted")));
        const QString file = QDir(fresh().settingsFolder()).relativeFilePath(QSettings().fileName());
        QDir().mkpath(QFileInfo(QDir(folder).filePath(file)).path());
        copyStoreTo(QDir(folder).filePath(file));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        Quillo::resetModules();
        return loadedFrame();
    }

private:
    static void copyStoreTo(const QString &copy)
    {
        QSettings settings;
        settings.sync();
        // Nothing stored yet leaves no file to copy, and the copy reads as
        // empty.
        QFile::copy(settings.fileName(), copy);
    }
};

class RecentFilesTest : public RecentFilesSuite
{
    Q_OBJECT

private slots:
    void aFreshStoreShowsNoEntriesAndNoSeparator()
    {
        const frmMainNote &frame = loadedFrame();
        QCOMPARE(shownList(frame), QStringList());
        QVERIFY(!frame.mnuFile1[10]->isVisible());
        QCOMPARE(Caption(frame.mnuFile1[11]), QStringLiteral("RecentFile1"));
        QCOMPARE(Registry::FindRecentFile(QStringLiteral("RecentFile1")), 0);
    }

    void eachNewFileComesFirstAndASixthDropsTheOldest()
    {
        const frmMainNote &frame = loadedFrame();
        Registry::AddRecentFile(QStringLiteral("/a.txt"));
        QVERIFY(frame.mnuFile1[10]->isVisible());
        QCOMPARE(shownList(frame), texts({"1   /a.txt"}));
        QCOMPARE(stored(), texts({"/a.txt", absent, absent, absent, absent}));

        for (const char *name : {"/b.txt", "/c.txt", "/d.txt", "/e.txt", "/f.txt"})
            Registry::AddRecentFile(QString::fromLatin1(name));
        QCOMPARE(shownList(frame), texts({"1   /f.txt", "2   /e.txt", "3   /d.txt", "4   /c.txt", "5   /b.txt"}));
        QCOMPARE(stored(), texts({"/f.txt", "/e.txt", "/d.txt", "/c.txt", "/b.txt"}));
        QCOMPARE(Registry::FindRecentFile(QStringLiteral("/a.txt")), 0);
        QCOMPARE(Registry::FindRecentFile(QStringLiteral("/c.txt")), 4);
    }

    void aListedFileComesFirstAndOnlyThoseAboveItMoveDown()
    {
        store(texts({"/e.txt", "/d.txt", "/c.txt", "/b.txt", "/a.txt"}));
        const frmMainNote &frame = loadedFrame();
        Registry::AddRecentFile(QStringLiteral("/c.txt"));
        QCOMPARE(stored(), texts({"/c.txt", "/e.txt", "/d.txt", "/b.txt", "/a.txt"}));
        QCOMPARE(shownList(frame), texts({"1   /c.txt", "2   /e.txt", "3   /d.txt", "4   /b.txt", "5   /a.txt"}));

        Registry::AddRecentFile(QStringLiteral("/a.txt"));
        QCOMPARE(stored(), texts({"/a.txt", "/c.txt", "/e.txt", "/d.txt", "/b.txt"}));
    }

    void addingTheFileListedFirstWritesNothing()
    {
        // Blanks around the stored paths show whether anything was written
        // back: the list shows the paths without them.
        const QStringList before = texts({"  /a.txt  ", "  /b.txt", absent, absent, absent});
        store(before);
        const frmMainNote &frame = loadedFrame();
        const QStringList shown = texts({"1   /a.txt", "2   /b.txt"});
        QCOMPARE(shownList(frame), shown);

        Registry::AddRecentFile(QStringLiteral("/a.txt"));
        QCOMPARE(shownList(frame), shown);
        QCOMPARE(stored(), before);
    }

    void aGapInTheStoreEndsTheListAndALaterFileSkipsIt()
    {
        store(texts({"/a.txt", absent, "  /c.txt  "}));
        const frmMainNote &frame = loadedFrame();
        QCOMPARE(shownList(frame), texts({"1   /a.txt"}));

        // The third moves to the fourth place without its blanks, and stays.
        Registry::AddRecentFile(QStringLiteral("/n.txt"));
        QCOMPARE(stored(), texts({"/n.txt", "/a.txt", "  /c.txt  ", "/c.txt", absent}));
        QCOMPARE(shownList(frame), texts({"1   /n.txt", "2   /a.txt", "3   /c.txt", "4   /c.txt"}));
    }

    void theSameFileInOtherLetterCaseIsListedTwice()
    {
        const frmMainNote &frame = loadedFrame();
        Registry::AddRecentFile(QStringLiteral("/home/ann/Notes.txt"));
        Registry::AddRecentFile(QStringLiteral("/home/ann/notes.txt"));
        QCOMPARE(shownList(frame), texts({"1   /home/ann/notes.txt", "2   /home/ann/Notes.txt"}));
        Registry::AddRecentFile(QStringLiteral("/home/ann/Notes.txt"));
        QCOMPARE(shownList(frame), texts({"1   /home/ann/Notes.txt", "2   /home/ann/notes.txt"}));
    }

    void theListSurvivesARestartOfTheProgram()
    {
        loadedFrame();
        Registry::AddRecentFile(QStringLiteral("/a.txt"));
        Registry::AddRecentFile(QStringLiteral("/b.txt"));
        const frmMainNote &frame = restartedFrame();
        QVERIFY(frame.mnuFile1[10]->isVisible());
        QCOMPARE(shownList(frame), texts({"1   /b.txt", "2   /a.txt"}));
        QCOMPARE(Registry::FindRecentFile(QStringLiteral("/a.txt")), 2);
    }

    void closingTheLastDocumentReadsTheListAgain()
    {
        const frmMainNote &frame = loadedFrame();
        store(texts({"/from another run.txt"}));
        QCOMPARE(shownList(frame), QStringList());
        document(1)->close();
        QVERIFY(Quillo::NoDocuments);
        QCOMPARE(shownList(frame), texts({"1   /from another run.txt"}));
    }
};

class RecentFilePathsTest : public RecentFilesSuite
{
    Q_OBJECT

private slots:
    void awkwardPathsComeBackUnchangedAndShowLiterally_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("ampersands") << QStringLiteral("/home/ann/Tom & Jerry/R&D&&co.txt");
        QTest::newRow("semicolons") << QStringLiteral("/home/ann/notes; draft;.txt");
        QTest::newRow("commas") << QStringLiteral("/home/ann/one,two, three.txt");
        QTest::newRow("equals sign") << QStringLiteral("/home/ann/a=b.txt");
        QTest::newRow("spaces") << QStringLiteral("/home/ann/My Documents/to  do.txt");
        QTest::newRow("non-ASCII letters") << QStringLiteral("/home/zoë/Ärger/日本語.txt");
        QTest::newRow("markup") << QStringLiteral("/home/ann/<b>bold</b>.txt");
        QTest::newRow("leading @") << QStringLiteral("@home/notes.txt");
        QTest::newRow("leading @ of a stored kind") << QStringLiteral("@ByteArray(notes)");
        QTest::newRow("quotes and backslashes") << QStringLiteral("/home/ann/\"quoted\" back\\slash.txt");
        QTest::newRow("longer than 255") << QStringLiteral("/home/ann/") + QString(300, u'x') + QStringLiteral(".txt");
    }

    void awkwardPathsComeBackUnchangedAndShowLiterally()
    {
        QFETCH(QString, path);
        loadedFrame();
        Registry::AddRecentFile(QStringLiteral("/other.txt"));
        Registry::AddRecentFile(path);
        QCOMPARE(stored().first(), path);

        const frmMainNote &frame = restartedFrame();
        QAction *item = frame.mnuFile1[11];
        QCOMPARE(Caption(item).mid(5), path);
        QCOMPARE(shownText(item), QStringLiteral("1   ") + path);
        QCOMPARE(QKeySequence::mnemonic(item->text()), QKeySequence(Qt::ALT | Qt::Key_1));
        QCOMPARE(Registry::FindRecentFile(path), 1);

        // Found in the list, it stays whole when it moves down.
        Registry::AddRecentFile(QStringLiteral("/other.txt"));
        QCOMPARE(Caption(frame.mnuFile1[12]).mid(5), path);
        QCOMPARE(stored().at(1), path);
    }
};

QUILLORY_SUITE(RecentFilesTest)
QUILLORY_SUITE(RecentFilePathsTest)
#include "tst_registry.moc"
