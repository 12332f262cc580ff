#include "platform/folderpath.h"

#include <QDir>
#include <QFileInfo>

Error readableFolder(const QString &path, QString &folder)
{
    // An empty path would otherwise be taken for the current folder.
    if (path.isEmpty())
        return Error::make(ErrorNumber::PathNotFound, QStringLiteral("''"));
    const QString absolute = QDir::cleanPath(QDir::current().absoluteFilePath(QDir::fromNativeSeparators(path)));
    const QFileInfo info(absolute);
    if (!info.isDir() || !QDir(absolute).isReadable())
        return Error::make(ErrorNumber::PathNotFound, QStringLiteral("'%1'").arg(QDir::toNativeSeparators(absolute)));
    folder = absolute;
    return Error::none();
}
