// Times opening a file whose encoding is found from its bytes against
// opening the same bytes in an encoding given beforehand, in the same run,
// and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// 100 MB of UTF-8 prose against the same read as UTF-8 without looking; 100
// MB of Russian prose in windows-1251 against the same bytes read as
// Windows-1252, as they were read before legacy character sets were found.
//
// Usage: bench_encodings [--quick]
//   --quick  4 MB files, one run a figure: a smoke run.

#include "benchsupport.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

namespace {

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The Russian text of the detection tests, in windows-1251, repeated to
// about size bytes.
QByteArray russianIn1251(qsizetype size)
{
    QFile in(QStringLiteral(QUILLORY_RUSSIAN_TEXT));
    if (!in.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", QUILLORY_RUSSIAN_TEXT);
    QStringEncoder encoder("windows-1251");
    const QByteArray text = encoder.encode(QString::fromUtf8(in.readAll()));
    return text.repeated(size / text.size() + 1);
}

double openMs(const QString &path, const QString &encoding, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        RichTextBox box;
        times.push_back(elapsedMs([&] {
            if (box.LoadFile(path, RichTextFileType::Text, encoding).failed())
                qFatal("cannot open %s", qPrintable(path));
        }));
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool quick = QCoreApplication::arguments().contains(QStringLiteral("--quick"));
    const qsizetype size = quick ? 4 * MB : 100 * MB;
    const int runs = quick ? 1 : 5;
    QTemporaryDir folder;
    const QByteArray prose = generateProse(size, true);
    const QString utf8 = writeFile(folder.filePath(QStringLiteral("utf8.txt")), prose);
    const QString cyrillic = writeFile(folder.filePath(QStringLiteral("1251.txt")), russianIn1251(size));
    const QString label = QStringLiteral("%1 MB").arg(size / MB);

    {
        RichTextBox check;
        if (check.LoadFile(cyrillic, RichTextFileType::Text).failed() || check.fileEncoding() != QLatin1String("windows-1251"))
            qFatal("the windows-1251 file was read as %s", qPrintable(check.fileEncoding()));
    }
    printFigure(QStringLiteral("open ") + label + QStringLiteral(" of UTF-8 prose, encoding found"),
                openMs(utf8, QString(), runs), QStringLiteral("ms"), openMs(utf8, QStringLiteral("UTF-8"), runs),
                QStringLiteral("the same read as UTF-8 without looking"), QStringLiteral("1.1"));
    printFigure(QStringLiteral("open ") + label + QStringLiteral(" of windows-1251 prose, encoding found"),
                openMs(cyrillic, QString(), runs), QStringLiteral("ms"),
                openMs(cyrillic, QStringLiteral("windows-1252"), runs),
                QStringLiteral("the same bytes read as Windows-1252"), QStringLiteral("1.1"));
    return 0;
}
