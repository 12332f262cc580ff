#include "platform/filelistbox.h"

#include "platform/folderpath.h"

#include <QDir>
#include <QMouseEvent>

namespace {

// QDir's filters: "*.*" means every file here, while QDir would only match
// names with a dot in them; nothing at all means every file too.
QStringList nameFilters(const QString &pattern)
{
    QStringList filters;
    for (const QString &part : pattern.split(u';', Qt::SkipEmptyParts)) {
        const QString filter = part.trimmed();
        if (filter == QStringLiteral("*.*"))
            return {QStringLiteral("*")};
        if (!filter.isEmpty())
            filters << filter;
    }
    if (filters.isEmpty())
        filters << QStringLiteral("*");
    return filters;
}

} // namespace

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent), m_pattern(QStringLiteral("*.*"))
{
    setAccessibleName(QStringLiteral("Files"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every entry is one line of text: the view need not measure each of
    // thousands of them.
    setUniformItemSizes(true);
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *current) {
        if (m_userChoosing && current)
            emit Click();
    });
    fill(QDir::currentPath());
}

QString FileListBox::Path() const
{
    return QDir::toNativeSeparators(m_path);
}

Error FileListBox::setPath(const QString &path)
{
    QString folder;
    if (Error error = readableFolder(path, folder); error.failed())
        return error;
    fill(folder);
    return Error::none();
}

QString FileListBox::Pattern() const
{
    return m_pattern;
}

void FileListBox::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    fill(m_path);
}

QString FileListBox::FileName() const
{
    const QListWidgetItem *item = currentItem();
    return item ? item->text() : QString();
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    m_userChoosing = true;
    QListWidget::keyPressEvent(event);
    m_userChoosing = false;
}

void FileListBox::mousePressEvent(QMouseEvent *event)
{
    QListWidgetItem *before = currentItem();
    m_userChoosing = true;
    QListWidget::mousePressEvent(event);
    m_userChoosing = false;
    // A click on the name already chosen chooses it again: the name typed
    // beside the list may have changed since.
    if (before && before == currentItem() && itemAt(event->position().toPoint()) == before)
        emit Click();
}

void FileListBox::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging with the button held moves the choice too.
    m_userChoosing = true;
    QListWidget::mouseMoveEvent(event);
    m_userChoosing = false;
}

void FileListBox::fill(const QString &folder)
{
    m_path = folder;
    // One listing, matched case-insensitively (QDir's default), and plain
    // text items: a folder of thousands of files lists at once.
    const QStringList names
        = QDir(folder).entryList(nameFilters(m_pattern), QDir::Files, QDir::Name | QDir::IgnoreCase);
    clear();
    addItems(names);
}
