#include "loaderroundtrip.h"

#include "platform/richtextbox.h"

#include <QDir>
#include <QFile>

QString loaderRoundTripFault(QByteArrayView bytes, const QString &folder)
{
    const QString original = QDir(folder).filePath(QStringLiteral("loaded.txt"));
    const QString copy = QDir(folder).filePath(QStringLiteral("saved.txt"));
    QFile in(original);
    if (!in.open(QIODevice::WriteOnly) || in.write(bytes.data(), bytes.size()) != bytes.size())
        return QStringLiteral("could not write ") + original;
    in.close();

    RichTextBox box;
    if (const Error error = box.LoadFile(original); error.failed())
        return QStringLiteral("load failed: ") + error.description;
    if (const qsizetype length = box.Text().size(); length != box.textLength())
        return QStringLiteral("Text has %1 characters, textLength says %2").arg(length).arg(box.textLength());
    if (const Error error = box.SaveFile(copy); error.failed())
        return QStringLiteral("save failed: ") + error.description;

    QFile out(copy);
    if (!out.open(QIODevice::ReadOnly))
        return QStringLiteral("could not read ") + copy;
    const QByteArray saved = out.readAll();
    if (saved == bytes)
        return {};
    qsizetype at = 0;
    while (at < saved.size() && at < bytes.size() && saved[at] == bytes[at])
        ++at;
    return QStringLiteral("saved file differs from byte %1 on: %2 bytes loaded, %3 saved; saved from there: %4")
        .arg(at)
        .arg(bytes.size())
        .arg(saved.size())
        .arg(QString::fromLatin1(saved.mid(at, 32).toHex(' ')));
}
