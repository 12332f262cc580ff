// Opens a file of 10 GB of CR LF prose in the edit control as a user would,
// goes to its end, types a line in its middle and saves it to another file,
// which must be the old file with exactly that line added: the expected file
// is made by head, printf and tail, and compared with cmp. Prints what each
// step took. The files are made in a temporary folder (TMPDIR) and removed
// afterwards; without 32 GB free there it says so and stops. Run by hand:
//
//   build/bench/check_tengigabytes

#include "benchsupport.h"
#include "platform/messages.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (QStorageInfo(folder.path()).bytesAvailable() < 32LL * 1024 * MB) {
        std::printf("check_tengigabytes: less than 32 GB free in %s: skipped\n", qPrintable(folder.path()));
        return 0;
    }
    const QString big = folder.filePath(QStringLiteral("big.txt"));
    const QString saved = folder.filePath(QStringLiteral("saved.txt"));
    const QString expected = folder.filePath(QStringLiteral("expected.txt"));
    const double makeMs = elapsedMs([&] { writeProseFile(big, 10LL * 1024 * MB); });
    std::printf("made %lld bytes in %.0f ms\n", static_cast<long long>(QFileInfo(big).size()), makeMs);

    RichTextBox box;
    box.resize(800, 600);
    (void)box.setRightMargin(1 << 20);
    const double openMs = elapsedMs([&] {
        if (box.LoadFile(big).failed())
            qFatal("cannot open %s", qPrintable(big));
        box.show();
        QCoreApplication::processEvents();
    });
    std::printf("opened to the first screen in %.0f ms\n", openMs);
    const double endMs = elapsedMs([&] {
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
    });
    const qint64 lines = box.windowMessage(EM_GETLINECOUNT, 0, 0);
    std::printf("Ctrl+End at once, waiting for the rest of the index, in %.0f ms: %lld lines\n", endMs,
                static_cast<long long>(lines));
    const double againMs = elapsedMs([&] {
        QTest::keyClick(&box, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
    });
    std::printf("Ctrl+Home and Ctrl+End once indexed in %.1f ms\n", againMs);

    const qint64 middle = lines / 2;
    const QString typed = QStringLiteral("a typed line");
    const double typeMs = elapsedMs([&] {
        (void)box.setSelStart(box.windowMessage(EM_LINEINDEX, uintptr_t(middle), 0));
        QTest::keyClicks(&box, typed);
        QTest::keyClick(&box, Qt::Key_Return);
        QCoreApplication::processEvents();
    });
    std::printf("typed a line before line %lld in %.1f ms\n", static_cast<long long>(middle + 1), typeMs);

    const double saveMs = elapsedMs([&] {
        if (box.SaveFile(saved).failed())
            qFatal("cannot save %s", qPrintable(saved));
    });
    std::printf("saved in %.0f ms\n", saveMs);

    QProcess check;
    check.start(QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("{ head -n \"$1\" \"$2\"; printf '%s\\r\\n' \"$3\"; tail -n +\"$(($1 + 1))\" \"$2\"; } > \"$4\" "
                                "&& cmp \"$4\" \"$5\" && echo same"),
                 QStringLiteral("sh"), QString::number(middle), big, typed, expected, saved});
    check.waitForFinished(-1);
    const QByteArray said = check.readAllStandardOutput().trimmed() + check.readAllStandardError().trimmed();
    std::printf("cmp with the expected file: %s\n", said.constData());
    return said == "same" ? 0 : 1;
}
