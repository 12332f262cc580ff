// Prints through a real print queue: a CUPS daemon of the test's own, on a
// socket in a temporary folder, with one PostScript queue as its default
// printer that counts the pages of each job in its page log and writes them
// nowhere. This executable holds only this suite, so that no printer is
// looked up before the daemon is in place: the print system reads
// CUPS_SERVER once.

#include "platform/printer.h"
#include "platform/richtextbox.h"
#include "printing/frmprintdlg.h"
#include "programsuite.h"
#include "suites.h"

#include <QtTest>
#include <QtWidgets>

#include <unistd.h>

namespace {

const QString queueName = QStringLiteral("QuilloryQueue");
const QString driver = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
// No step may hang the run.
constexpr int stepTimeout = 15000;

QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
}

// Runs a command line to its end; its output, or why it failed.
bool run(const QString &command, QString *output)
{
    QStringList arguments = QProcess::splitCommand(command);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool(arguments.takeFirst()), arguments);
    const bool ok = process.waitForFinished(stepTimeout) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    *output = QString::fromLocal8Bit(process.readAll());
    return ok;
}

bool write(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

class PrintQueueTest : public ProgramSuite
{
    Q_OBJECT

    QTemporaryDir m_root;
    QProcess m_daemon;

    // Empty when the queue is ready, otherwise why not.
    QString startQueue()
    {
        if (geteuid() != 0)
            return QStringLiteral("a private CUPS daemon needs root");
        if (tool(QStringLiteral("cupsd")).isEmpty() || !QFileInfo::exists(driver))
            return QStringLiteral("CUPS and printer-driver-cups-pdf are needed");
        const QDir root(m_root.path());
        // The daemon's filters run as its own unprivileged user: they must
        // reach the spool here (rwxr-xr-x), and keep their working copies in
        // tmp (rwxrwxrwx).
        QFile::setPermissions(root.path(), QFileDevice::Permissions(0x7755));
        for (const char *folder : {"spool", "cache", "state", "tmp", "log"})
            root.mkpath(QLatin1String(folder));
        QFile::setPermissions(root.filePath(QStringLiteral("tmp")), QFileDevice::Permissions(0x7777));
        const QString socket = root.filePath(QStringLiteral("cups.sock"));
        // A local socket only, nothing shared or looked for on the network.
        if (!write(root.filePath(QStringLiteral("cupsd.conf")),
                   QStringLiteral("Listen %1\nBrowsing No\nBrowseLocalProtocols none\nDefaultAuthType None\nLogLevel warn\n"
                                  "<Location />\nOrder allow,deny\nAllow all\n</Location>\n").arg(socket))
            || !write(root.filePath(QStringLiteral("cups-files.conf")),
                      QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                                     "TempDir %1/tmp\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                     "PageLog %1/log/page_log\nFileDevice Yes\n").arg(root.path())))
            return QStringLiteral("cannot write the daemon's configuration");
        m_daemon.setProcessChannelMode(QProcess::ForwardedChannels);
        m_daemon.start(tool(QStringLiteral("cupsd")),
                       QProcess::splitCommand(QStringLiteral("-f -c %1/cupsd.conf -s %1/cups-files.conf").arg(root.path())));
        const auto ready = [&] { return QFileInfo::exists(socket) || m_daemon.state() == QProcess::NotRunning; };
        if (!QTest::qWaitFor(ready, stepTimeout) || m_daemon.state() != QProcess::Running)
            return QStringLiteral("cupsd did not open its socket");
        qputenv("CUPS_SERVER", QFile::encodeName(socket));
        QString output;
        // A job that fails is dropped rather than holding up the rest.
        const QString queue = QStringLiteral("lpadmin -p %1 -v file:/dev/null -P %2 -E -o printer-error-policy=abort-job");
        if (!run(queue.arg(queueName, driver), &output) || !run(QStringLiteral("lpadmin -d ") + queueName, &output))
            return QStringLiteral("lpadmin failed: ") + output;
        return {};
    }

    // The pages of each job the queue printed, as its page log counts them.
    QStringList pagesPrinted() const
    {
        QFile log(QDir(m_root.path()).filePath(QStringLiteral("log/page_log")));
        QStringList pages;
        log.open(QIODevice::ReadOnly);
        for (const QString &line : QString::fromLocal8Bit(log.readAll()).split(u'\n'))
            if (line.startsWith(queueName + u' '))
                pages << line.section(QStringLiteral(" total "), 1).section(u' ', 0, 0);
        return pages;
    }

private slots:
    // A daemon this machine will not run says nothing about the program.
    void initTestCase()
    {
        const QString failed = startQueue();
        if (!failed.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no print queue can run here: ") + failed));
    }

    void cleanupTestCase()
    {
        // One that does not go is killed with the process object.
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    // A job the queue lost on the way would still arrive, but as one blank
    // page: the text fills the first page and a few lines of the second.
    void eachCopyOfALongDocumentArrivesInTheQueueAsAJobOfTwoPages()
    {
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        QString text;
        for (int line = 1; line <= 70; ++line)
            text += QStringLiteral("line%1 alpha beta\r\n").arg(line);
        document(1)->Text1->setSelText(text);
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto &print = static_cast<frmPrintDlg &>(dialog);
            QCOMPARE(print.Label1[6]->text(), queueName);
            print.Text2->setText(QStringLiteral("2"));
            QTest::mouseClick(print.cmdPrint, Qt::LeftButton);
        });
        frame.mnuFile1[7]->trigger();
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        QTRY_COMPARE_WITH_TIMEOUT(pagesPrinted(), (QStringList {"2", "2"}), stepTimeout);
    }
};

QUILLORY_SUITE(PrintQueueTest)
#include "tst_printqueue.moc"
