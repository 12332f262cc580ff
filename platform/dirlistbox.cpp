#include "platform/dirlistbox.h"

#include "platform/folderpath.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

// Draws each entry as far in as its depth below the root, so that the way
// down reads as steps while the entries' texts stay the folders' names.
class DepthDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem stepped(option);
        stepped.rect.setLeft(stepped.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, stepped, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        return index.data(DirListBox::DepthRole).toInt() * option.fontMetrics.averageCharWidth() * 2;
    }
};

} // namespace

DirListBox::DirListBox(QWidget *parent) : QListWidget(parent)
{
    setAccessibleName(QStringLiteral("Folder"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new DepthDelegate(this));
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::open);
    fill(QDir::currentPath());
}

QString DirListBox::Path() const
{
    return QDir::toNativeSeparators(m_path);
}

Error DirListBox::setPath(const QString &path)
{
    QString folder;
    if (Error error = readableFolder(path, folder); error.failed())
        return error;
    const bool changed = folder != m_path;
    // The same folder is listed again: folders may have come or gone.
    fill(folder);
    if (changed)
        emit Change();
    return Error::none();
}

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        open(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::open(QListWidgetItem *item)
{
    if (item)
        setPath(item->data(PathRole).toString());
}

void DirListBox::fill(const QString &folder)
{
    m_path = folder;
    clear();

    // The way down, from the root to the folder itself.
    QStringList way;
    for (QString step = folder;;) {
        way.prepend(step);
        const QString parent = QFileInfo(step).path();
        if (QDir(step).isRoot() || parent == step)
            break;
        step = parent;
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon, nullptr, this);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon, nullptr, this);
    const auto add = [this](const QIcon &icon, const QString &text, const QString &path, int depth) {
        auto *item = new QListWidgetItem(icon, text, this);
        item->setData(PathRole, path);
        item->setData(DepthRole, depth);
        return item;
    };
    for (int depth = 0; depth < way.size(); ++depth) {
        const QString &step = way.at(depth);
        add(open, depth == 0 ? QDir::toNativeSeparators(step) : QFileInfo(step).fileName(), step, depth);
    }
    QListWidgetItem *self = item(count() - 1);

    const QDir dir(folder);
    const QStringList subfolders
        = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : subfolders)
        add(closed, name, dir.filePath(name), int(way.size()));

    setCurrentItem(self);
    scrollToItem(self);
}
