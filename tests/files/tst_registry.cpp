#include "files/registry.h"
#include "programsuite.h"

#include <QKeySequence>
#include <QRegularExpression>
#include <QSettings>

namespace {

// A value the store does not hold.
const QString absent = QStringLiteral("<absent>");

QString key(int n)
{
    return QStringLiteral("Recent Files/RecentFile") + QString::number(n);
}

// The recent files the File menu shows, as shown: "&&" is one "&", and a
// single "&" marks the access key without being shown.
QStringList shownList(const frmMainNote &frame)
{
    QStringList shown;
    for (int n = 11; n <= 15; ++n) {
        if (frame.mnuFile1[n]->isVisible())
            shown << frame.mnuFile1[n]->text().replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
    }
    return shown;
}

} // namespace

class RecentFilesTest : public ProgramSuite
{
    Q_OBJECT

private:
    int m_copies = 0;

    // The store's file copied, so that a new run or reading reads it afresh
    // rather than from memory. Nothing stored yet leaves no file to copy,
    // and the copy reads as empty.
    static void copyStoreTo(const QString &copy)
    {
        QSettings settings;
        settings.sync();
        QDir().mkpath(QFileInfo(copy).path());
        QFile::copy(settings.fileName(), copy);
    }

    // RecentFile1 to RecentFile5 as stored: the text, absent, or the kind of value.
    QStringList stored()
    {
        const QString copy = fresh().path(QStringLiteral("store%1").arg(++m_copies));
        copyStoreTo(copy);
        const QSettings fromFile(copy, QSettings::IniFormat);
        QStringList values;
        for (int n = 1; n <= 5; ++n) {
            const QVariant value = fromFile.value(key(n));
            values << (!value.isValid()                         ? absent
                       : value.typeId() != QMetaType::QString ? QStringLiteral("<%1>").arg(QString::fromLatin1(value.typeName()))
                                                               : value.toString());
        }
        return values;
    }

    // A new run of the program with a new frame, reading the store's file.
    frmMainNote &restartedFrame()
    {
        const QString folder = fresh().path(QStringLiteral("restarted%1").arg(++m_copies));
        copyStoreTo(QDir(folder).filePath(QDir(fresh().settingsFolder()).relativeFilePath(QSettings().fileName())));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        Quillo::resetModules();
        return loadedFrame();
    }

private slots:
    void eachFileAddedComesFirstAndOnlyThoseAboveItMoveDown_data()
    {
        QTest::addColumn<QStringList>("before"); // as another run of the program left them
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("after");
        const QStringList none(5, absent);
        QTest::newRow("nothing yet") << QStringList {} << QStringList {} << none;
        QTest::newRow("the first") << QStringList {} << QStringList {"/a.txt"} << QStringList {"/a.txt", absent, absent, absent, absent};
        QTest::newRow("a sixth drops the oldest") << QStringList {} << QStringList {"/a", "/b", "/c", "/d", "/e", "/f"}
                                                  << QStringList {"/f", "/e", "/d", "/c", "/b"};
        const QStringList five {"/e", "/d", "/c", "/b", "/a"};
        QTest::newRow("one listed") << five << QStringList {"/c"} << QStringList {"/c", "/e", "/d", "/b", "/a"};
        QTest::newRow("the last listed") << five << QStringList {"/c", "/a"} << QStringList {"/a", "/c", "/e", "/d", "/b"};
        // Blanks around the stored paths show that nothing was written back;
        // the list shows the paths without them.
        QTest::newRow("the first listed") << QStringList {"  /a  ", "  /b", absent, absent, absent} << QStringList {"/a"}
                                          << QStringList {"  /a  ", "  /b", absent, absent, absent};
        // A gap ends the list: the third moves to the fourth place without
        // its blanks, and stays.
        QTest::newRow("a gap") << QStringList {"/a", absent, "  /c  "} << QStringList {"/n"}
                               << QStringList {"/n", "/a", "  /c  ", "/c", absent};
        QTest::newRow("another letter case") << QStringList {} << QStringList {"/Notes", "/notes", "/Notes"}
                                             << QStringList {"/Notes", "/notes", absent, absent, absent};
        // Stored as text, read back unchanged, shown literally, moved down whole.
        const QStringList awkward {"/home/ann/Tom & Jerry/R&D&&co.txt", "/home/ann/notes; draft;.txt", "/home/ann/one,two, three.txt",
                                   "/home/ann/a=b.txt", "/home/ann/My Documents/to  do.txt", "/home/zoë/Ärger/日本語.txt",
                                   "/home/ann/<b>bold</b>.txt", "@home/notes.txt", "@ByteArray(notes)",
                                   "/home/ann/\"quoted\" back\\slash.txt", "/home/ann/" + QString(300, u'x') + ".txt"};
        for (const QString &path : awkward)
            QTest::addRow("%s", qPrintable(path.left(40))) << QStringList {} << QStringList {"/other.txt", path, "/other.txt"}
                                                           << QStringList {"/other.txt", path, absent, absent, absent};
    }

    void eachFileAddedComesFirstAndOnlyThoseAboveItMoveDown()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, added);
        QFETCH(QStringList, after);
        for (int n = 1; n <= before.size(); ++n) {
            if (before[n - 1] != absent)
                QSettings().setValue(key(n), before[n - 1]);
        }
        const frmMainNote &frame = loadedFrame();
        for (const QString &path : added)
            Registry::AddRecentFile(path);
        QCOMPARE(stored(), after);
        QStringList shown;
        for (const QString &path : after.mid(0, after.indexOf(absent)))
            shown << QStringLiteral("%1   %2").arg(shown.size() + 1).arg(path.trimmed());
        QCOMPARE(shownList(frame), shown);
        QCOMPARE(frame.mnuFile1[10]->isVisible(), !shown.isEmpty());
        const frmMainNote &restarted = restartedFrame();
        QCOMPARE(shownList(restarted), shown);
        if (!shown.isEmpty())
            QCOMPARE(QKeySequence::mnemonic(restarted.mnuFile1[11]->text()), QKeySequence(Qt::ALT | Qt::Key_1));
    }

    void closingTheLastDocumentReadsTheListAgain()
    {
        const frmMainNote &frame = loadedFrame();
        QSettings().setValue(key(1), QStringLiteral("/from another run.txt"));
        QCOMPARE(shownList(frame), QStringList());
        document(1)->close();
        QCOMPARE(shownList(frame), QStringList {QStringLiteral("1   /from another run.txt")});
    }

};

QUILLORY_SUITE(RecentFilesTest)
#include "tst_registry.moc"
