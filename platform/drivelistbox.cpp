#include "platform/drivelistbox.h"

#include "platform/namedcombobox.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <vector>

namespace {

// File systems that hold no files of the user's: the kernel's views of
// itself, and the automounter's placeholders.
bool isPseudoFileSystem(const QByteArray &type)
{
    static const QByteArray pseudo[] = {
        "proc",   "sysfs",  "devpts",    "cgroup",   "cgroup2", "securityfs",  "debugfs", "tracefs",  "pstore",
        "bpf",    "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc", "autofs",  "devtmpfs",
    };
    return std::find(std::begin(pseudo), std::end(pseudo), type) != std::end(pseudo);
}

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif

// Whether path (absolute, clean, "/" separators) lies on the volume whose
// root is root: the root itself, or below it on a folder boundary, so that
// /mediax is not on /media.
bool holds(const QString &root, const QString &path)
{
    if (root.endsWith(u'/'))
        return path.startsWith(root, pathCase) || QString(path + u'/').compare(root, pathCase) == 0;
    return path.compare(root, pathCase) == 0
           || (path.startsWith(root, pathCase) && path.at(root.size()) == u'/');
}

struct Volume
{
    QString root;
    QString name;
};

std::vector<Volume> listedVolumes()
{
    std::vector<Volume> volumes;
    const auto listed = [&](const QString &root) {
        return std::any_of(volumes.begin(), volumes.end(), [&](const Volume &v) { return v.root == root; });
    };
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        // A container's bind-mounted single files (/etc/hosts) are volumes
        // too, but no folder can be chosen on them.
        if (!volume.isValid() || !volume.isReady() || isPseudoFileSystem(volume.fileSystemType())
            || !QFileInfo(root).isDir() || listed(root))
            continue;
        volumes.push_back({root, volume.name()});
    }
#ifndef Q_OS_WIN
    // Every path has somewhere to go, even where the root's own file system
    // is not reported.
    if (!listed(QStringLiteral("/")))
        volumes.push_back({QStringLiteral("/"), QString()});
#endif
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume &a, const Volume &b) { return a.root.compare(b.root, pathCase) < 0; });
    return volumes;
}

} // namespace

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent)
{
    // Named before anything of it is read, so that a reader hears the name.
    nameComboBox(*this, QStringLiteral("Drive"));
    setEditable(false);
    for (const Volume &volume : listedVolumes()) {
        QString text = QDir::toNativeSeparators(volume.root);
        if (!volume.name.isEmpty())
            text += QStringLiteral(" [%1]").arg(volume.name);
        addItem(text, volume.root);
    }
    // The volume of the current folder to begin with; the first one when it
    // is not listed.
    setDrive(QDir::currentPath());
    // Only connected now, so that filling the box raises nothing. Both the
    // user's choice and setDrive change the index, and an unchanged index
    // raises nothing.
    connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::Change);
}

QString DriveListBox::Drive() const
{
    return QDir::toNativeSeparators(currentData().toString());
}

Error DriveListBox::setDrive(const QString &path)
{
    const QString wanted = QDir::fromNativeSeparators(path);
    int best = -1;
    if (!wanted.isEmpty() && QDir::isAbsolutePath(wanted)) {
        const QString clean = QDir::cleanPath(wanted);
        qsizetype bestLength = -1;
        for (int i = 0; i < count(); ++i) {
            const QString root = itemData(i).toString();
            if (root.size() > bestLength && holds(root, clean)) {
                best = i;
                bestLength = root.size();
            }
        }
    }
    if (best < 0)
        return Error::make(ErrorNumber::DeviceUnavailable, QStringLiteral("'%1'").arg(path));
    setCurrentIndex(best);
    return Error::none();
}
