#include "files/registry.h"

#include "platform/userstore.h"
#include "shell/actionarray.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

namespace Registry {

namespace {

constexpr int recentFiles = 5;
constexpr int separatorItem = 10; // item 10 + n lists file n
constexpr qsizetype pathStart = 5; // after "&n" and three blanks

QString section()
{
    return QStringLiteral("Recent Files");
}

QString key(int n)
{
    return QStringLiteral("RecentFile") + QString::number(n);
}

// Each file's encoding is kept under a key of its own beside its path's.
QString encodingKey(int n)
{
    return QStringLiteral("RecentEncoding") + QString::number(n);
}

// Only blanks go: a tab or a line end belongs to the name.
QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.sliced(first, last - first);
}

// The path item 10 + n lists, from its caption's sixth character on.
QString listedPath(const frmMainNote &frame, int n)
{
    return Caption(frame.mnuFile1[separatorItem + n]).mid(pathStart);
}

} // namespace

void LoadRecentFiles()
{
    frmMainNote *frame = Quillo::MainForm;
    if (!frame)
        return;
    const UserStore store(section());
    for (int n = 1; n <= recentFiles; ++n) {
        const std::optional<QString> path = store.text(key(n));
        if (!path)
            return;
        frame->mnuFile1[separatorItem]->setVisible(true);
        setCaption(frame->mnuFile1[separatorItem + n],
                   u'&' + QString::number(n) + QStringLiteral("   ") + trimBlanks(*path));
        frame->mnuFile1[separatorItem + n]->setVisible(true);
    }
}

int FindRecentFile(const QString &path)
{
    const frmMainNote *frame = Quillo::MainForm;
    if (!frame)
        return 0;
    for (int n = 1; n <= recentFiles; ++n) {
        if (listedPath(*frame, n) == path)
            return n;
    }
    return 0;
}

void AddRecentFile(const QString &path)
{
    AddRecentFile(path, RecentEncoding(FindRecentFile(path)));
}

void AddRecentFile(const QString &path, const QString &encoding)
{
    const int found = FindRecentFile(path);
    if (found == 0) {
        InsertRecentFile(path, encoding);
    } else {
        // The files listed above it move one place down over it.
        UserStore store(section());
        for (int j = found - 1; j >= 1; --j) {
            store.setText(key(j + 1), listedPath(*Quillo::MainForm, j));
            store.setText(encodingKey(j + 1), store.text(encodingKey(j)).value_or(QString()));
        }
        if (found > 1)
            store.setText(key(1), path);
        if (store.text(encodingKey(1)).value_or(QString()) != encoding)
            store.setText(encodingKey(1), encoding);
    }
    LoadRecentFiles();
}

void InsertRecentFile(const QString &path, const QString &encoding)
{
    UserStore store(section());
    for (int n = recentFiles - 1; n >= 1; --n) {
        if (const std::optional<QString> stored = store.text(key(n))) {
            store.setText(key(n + 1), trimBlanks(*stored));
            store.setText(encodingKey(n + 1), store.text(encodingKey(n)).value_or(QString()));
        }
    }
    store.setText(key(1), path);
    store.setText(encodingKey(1), encoding);
}

QString RecentEncoding(int n)
{
    if (n < 1 || n > recentFiles)
        return QString();
    return UserStore(section()).text(encodingKey(n)).value_or(QString());
}

} // namespace Registry
