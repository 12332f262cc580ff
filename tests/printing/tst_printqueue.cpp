// Prints through a real print queue: a CUPS daemon of the test's own, on a
// socket in a temporary folder, with one PDF queue as its default printer.
// This executable holds only this suite, so that no printer is looked up
// before the daemon is in place: the print system reads CUPS_SERVER once.

#include "platform/printer.h"
#include "platform/richtextbox.h"
#include "printing/frmprintdlg.h"
#include "programsuite.h"
#include "suites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString queueName = QStringLiteral("QuilloryPDF");
const QString backend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString driver = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
const QString backendConfig = QStringLiteral("/etc/cups/cups-pdf.conf");
// No step may hang the run.
constexpr int stepTimeout = 15000;

QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                                 QStringLiteral("/sbin"), QStringLiteral("/bin")});
}

// Runs a command to its end; its output, or why it failed.
bool run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
         QString *output)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(stepTimeout)) {
        process.kill();
        process.waitForFinished(1000);
        *output = program + QStringLiteral(" did not finish");
        return false;
    }
    *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The PDF backend writes each job into the folder its configuration names,
// under the home folder of the user who printed (here, the user running the
// test); that configuration belongs to the system, so the test finds the
// folder rather than moves it.
QString backendOutputFolder()
{
    QFile config(backendConfig);
    if (!config.open(QIODevice::ReadOnly))
        return {};
    QString out;
    const QRegularExpression outLine(QStringLiteral("^\\s*Out\\s+(\\S.*?)\\s*$"));
    for (const QString &line : QString::fromLocal8Bit(config.readAll()).split(u'\n')) {
        const QRegularExpressionMatch match = outLine.match(line);
        if (match.hasMatch())
            out = match.captured(1);
    }
    const passwd *user = getpwuid(geteuid());
    if (out.isEmpty() || !user)
        return {};
    out.replace(QStringLiteral("${HOME}"), QFile::decodeName(user->pw_dir));
    out.replace(QStringLiteral("${USER}"), QFile::decodeName(user->pw_name));
    return QDir::cleanPath(out);
}

int pageCount(const QString &pdf)
{
    QString output;
    if (!run(QStringLiteral("pdfinfo"), {pdf}, QProcessEnvironment::systemEnvironment(), &output))
        return -1;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("(?m)^Pages:\\s+(\\d+)")).match(output);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// A CUPS daemon of the test's own with one PDF queue as its default. It is
// stopped, and everything it printed removed, when it goes.
class PrivateQueue
{
public:
    PrivateQueue() = default;
    PrivateQueue(const PrivateQueue &) = delete;
    PrivateQueue &operator=(const PrivateQueue &) = delete;
    ~PrivateQueue() { stop(); }

    // Empty when the queue is ready, otherwise why not.
    QString start()
    {
        if (!m_root.isValid())
            return QStringLiteral("no temporary folder");
        // The daemon's filters run as its own unprivileged user and must
        // reach the spool inside this folder.
        QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                 | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                 | QFile::ExeOther);
        const QDir root(m_root.path());
        for (const char *folder : {"spool", "cache", "state", "tmp", "log"})
            root.mkpath(QLatin1String(folder));
        // Filters keep their working copies of a job there.
        QFile::setPermissions(root.filePath(QStringLiteral("tmp")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                  | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                                  | QFile::ExeOther);
        m_socket = root.filePath(QStringLiteral("cups.sock"));

        // A local socket only, nothing shared or looked for on the network.
        if (!write(root.filePath(QStringLiteral("cupsd.conf")),
                   QStringLiteral("Listen %1\nBrowsing No\nBrowseLocalProtocols none\nDefaultAuthType None\n"
                                  "LogLevel warn\n<Location />\nOrder allow,deny\nAllow all\n</Location>\n")
                       .arg(m_socket))
            || !write(root.filePath(QStringLiteral("cups-files.conf")),
                      QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                                     "TempDir %1/tmp\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                     "PageLog %1/log/page_log\n")
                          .arg(root.path())))
            return QStringLiteral("cannot write the daemon's configuration");

        m_outputFolder = backendOutputFolder();
        if (m_outputFolder.isEmpty())
            return QStringLiteral("cannot tell where %1 writes its PDF files").arg(backend);
        m_outputFolderExisted = QFileInfo(m_outputFolder).isDir();
        m_before = outputFiles();

        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.setStandardOutputFile(QProcess::nullDevice());
        m_daemon.start(tool(QStringLiteral("cupsd")),
                       {QStringLiteral("-f"), QStringLiteral("-c"), root.filePath(QStringLiteral("cupsd.conf")),
                        QStringLiteral("-s"), root.filePath(QStringLiteral("cups-files.conf"))});
        if (!m_daemon.waitForStarted(stepTimeout))
            return QStringLiteral("cupsd did not start: ") + m_daemon.errorString();
        if (!QTest::qWaitFor([&] { return QFileInfo(m_socket).exists() || m_daemon.state() != QProcess::Running; },
                             stepTimeout)
            || m_daemon.state() != QProcess::Running)
            return QStringLiteral("cupsd did not open its socket: ") + log();

        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("CUPS_SERVER"), m_socket);
        QString output;
        if (!run(tool(QStringLiteral("lpadmin")),
                 {QStringLiteral("-p"), queueName, QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                  QStringLiteral("-P"), driver, QStringLiteral("-E"),
                  // A job that fails is dropped rather than holding up the rest.
                  QStringLiteral("-o"), QStringLiteral("printer-error-policy=abort-job")},
                 m_environment, &output)
            || !run(tool(QStringLiteral("lpadmin")), {QStringLiteral("-d"), queueName}, m_environment, &output))
            return QStringLiteral("lpadmin failed: ") + output + log();
        qputenv("CUPS_SERVER", QFile::encodeName(m_socket));
        return {};
    }

    void stop()
    {
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            if (!m_daemon.waitForFinished(5000)) {
                m_daemon.kill();
                m_daemon.waitForFinished(5000);
            }
        }
        removePrinted();
        if (!m_outputFolder.isEmpty() && !m_outputFolderExisted)
            QDir().rmdir(m_outputFolder);
    }

    // Waits until no job is left in the queue; false with why on a timeout.
    bool waitForJobs(QString *why) const
    {
        QString output;
        const bool done = QTest::qWaitFor(
            [&] {
                return run(tool(QStringLiteral("lpstat")), {QStringLiteral("-W"), QStringLiteral("not-completed"),
                                                            QStringLiteral("-o"), queueName},
                           m_environment, &output)
                       && output.trimmed().isEmpty();
            },
            stepTimeout);
        if (!done)
            *why = QStringLiteral("jobs still waiting: ") + output + log();
        return done;
    }

    // The PDF files printed since the queue started, oldest job first.
    QStringList printed() const
    {
        QStringList files;
        for (const QString &file : outputFiles())
            if (!m_before.contains(file))
                files << file;
        std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
            return QFileInfo(a).lastModified() < QFileInfo(b).lastModified();
        });
        return files;
    }

    void removePrinted()
    {
        for (const QString &file : printed())
            QFile::remove(file);
    }

    QString log() const
    {
        QFile file(QDir(m_root.path()).filePath(QStringLiteral("log/error_log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

private:
    static bool write(const QString &path, const QString &text)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
    }

    QSet<QString> outputFiles() const
    {
        QSet<QString> files;
        if (m_outputFolder.isEmpty())
            return files;
        for (const QFileInfo &file : QDir(m_outputFolder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
            files.insert(file.absoluteFilePath());
        return files;
    }

    QTemporaryDir m_root;
    QProcess m_daemon;
    QString m_socket;
    QProcessEnvironment m_environment;
    QString m_outputFolder;
    bool m_outputFolderExisted = false;
    QSet<QString> m_before;
};

// Why this machine cannot run the queue, or empty.
QString missingPrerequisite()
{
    if (geteuid() != 0)
        return QStringLiteral("a private CUPS daemon needs root");
    for (const char *name : {"cupsd", "lpadmin", "lpstat", "pdfinfo"})
        if (tool(QLatin1String(name)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(name));
    for (const QString &file : {backend, driver, backendConfig})
        if (!QFileInfo::exists(file))
            return QStringLiteral("%1 is not installed (printer-driver-cups-pdf)").arg(file);
    return {};
}

// Fills the first page and a few lines of the second; a job the queue lost
// on the way still arrives, but as one blank page.
QString twoPagesOfText()
{
    QString text;
    for (int line = 1; line <= 70; ++line)
        text += QStringLiteral("line%1 alpha beta\r\n").arg(line);
    return text;
}

// The next Print dialog prints, after prepare, and tells which printer it
// showed.
QString printThroughDialog(frmMainNote &frame, const std::function<void(frmPrintDlg &)> &prepare = {})
{
    QString shown;
    TestSeam::queueModalAction([&](QDialog &dialog) {
        auto &print = static_cast<frmPrintDlg &>(dialog);
        shown = print.Label1[6]->text();
        if (prepare)
            prepare(print);
        print.cmdPrint->click();
    });
    frame.mnuFile1[7]->trigger();
    return shown;
}

} // namespace

class PrintQueueTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString missing = missingPrerequisite();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        m_queue = std::make_unique<PrivateQueue>();
        const QString failed = m_queue->start();
        // A daemon this machine will not run says nothing about the program.
        if (!failed.isEmpty()) {
            m_queue.reset();
            QSKIP(qPrintable(QStringLiteral("no print queue can run here: ") + failed));
        }
    }

    void cleanupTestCase() { m_queue.reset(); }

    void aLongDocumentArrivesInTheQueueAsTwoPages()
    {
        m_queue->removePrinted();
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        QCOMPARE(ThePrinter().DeviceName(), queueName);
        document(1)->Text1->setSelText(twoPagesOfText());

        QCOMPARE(printThroughDialog(frame), queueName);
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        const QStringList jobs = waitForPrinted(1);
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(pageCount(jobs[0]), 2);
    }

    void twoCopiesAreTwoJobs()
    {
        m_queue->removePrinted();
        resetThePrinter();
        frmMainNote &frame = loadedFrame();
        document(1)->Text1->setSelText(twoPagesOfText());
        printThroughDialog(frame, [](frmPrintDlg &print) { print.Text2->setText(QStringLiteral("2")); });
        QVERIFY2(TestSeam::shownMessages().isEmpty(), qPrintable(TestSeam::shownMessages().value(0).text));
        const QStringList jobs = waitForPrinted(2);
        QCOMPARE(jobs.size(), 2);
        for (const QString &job : jobs)
            QCOMPARE(pageCount(job), 2);
    }

private:
    // The files of the jobs printed, once the queue has finished them all.
    QStringList waitForPrinted(int expected)
    {
        QString why;
        if (!m_queue->waitForJobs(&why))
            qWarning("%s", qPrintable(why));
        // The backend may still be closing the last file as its job ends.
        (void)QTest::qWaitFor([&] { return m_queue->printed().size() >= expected; }, stepTimeout);
        return m_queue->printed();
    }

    std::unique_ptr<PrivateQueue> m_queue;
};

QUILLORY_SUITE(PrintQueueTest)
#include "tst_printqueue.moc"
