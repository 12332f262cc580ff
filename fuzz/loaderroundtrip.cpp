#include "loaderroundtrip.h"

#include "editor/opentext.h"
#include "editor/savetext.h"

#include <QDir>
#include <QFile>

#include <limits>

namespace {

QString roundTripFault(QByteArrayView bytes, const QString &original, const QString &copy, const TextOpening &opening)
{
    TextStore store;
    TextFileFormat format;
    if (const FileError error = openText(original, store, format, nullptr, opening); error.failed())
        return QStringLiteral("load failed: ") + error.path + QLatin1Char(' ') + error.reason;
    if (store.growing()) {
        store.waitForLines(std::numeric_limits<qsizetype>::max());
        (void)store.grow();
    }
    // A text kept in its file whose bytes further on the format cannot read
    // is opened whole, as the edit control opens it.
    if (store.file() && !fileLineEnd(*store.file(), format.lineEnd)) {
        TextOpening whole = opening;
        whole.keptInFileFrom = std::numeric_limits<qint64>::max();
        return roundTripFault(bytes, original, copy, whole);
    }
    qsizetype read = 0;
    (void)store.readRuns([&](QStringView run) { read += run.size(); }, [&](LineEnd) { ++read; });
    if (read != store.length())
        return QStringLiteral("the text reads as %1 characters, the store says %2").arg(read).arg(store.length());
    if (const FileError error = saveText(store, {copy}, format, false, opening.blockBytes).front(); error.failed())
        return QStringLiteral("save failed: ") + error.path + QLatin1Char(' ') + error.reason;

    QFile out(copy);
    if (!out.open(QIODevice::ReadOnly))
        return QStringLiteral("could not read ") + copy;
    const QByteArray saved = out.readAll();
    if (saved == bytes)
        return {};
    qsizetype at = 0;
    while (at < saved.size() && at < bytes.size() && saved[at] == bytes[at])
        ++at;
    return QStringLiteral("%1: saved file differs from byte %2 on: %3 bytes loaded, %4 saved; saved from there: %5")
        .arg(store.file() ? QStringLiteral("kept in its file") : QStringLiteral("decoded whole"))
        .arg(at)
        .arg(bytes.size())
        .arg(saved.size())
        .arg(QString::fromLatin1(saved.mid(at, 32).toHex(' ')));
}

} // namespace

QString loaderRoundTripFault(QByteArrayView bytes, const QString &folder)
{
    const QString original = QDir(folder).filePath(QStringLiteral("loaded.txt"));
    const QString copy = QDir(folder).filePath(QStringLiteral("saved.txt"));
    QFile in(original);
    if (!in.open(QIODevice::WriteOnly) || in.write(bytes.data(), bytes.size()) != bytes.size())
        return QStringLiteral("could not write ") + original;
    in.close();
    // Decoded whole, and kept in its file in blocks small enough that
    // characters and line ends fall across them.
    for (const TextOpening &opening : {TextOpening(), TextOpening {0, 16, 16}}) {
        if (const QString fault = roundTripFault(bytes, original, copy, opening); !fault.isEmpty())
            return fault;
    }
    return {};
}
