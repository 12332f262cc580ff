#pragma once

#include <QAction>
#include <QMap>
#include <QToolBar>
#include <QVariant>

// Menu items or toolbar buttons by their designed index; a gap in the
// numbering stays a gap (null).
class ActionArray
{
public:
    void set(int index, QAction *action) { m_items.insert(index, action); }
    QAction *operator[](int index) const { return m_items.value(index); }
    QList<int> indices() const { return m_items.keys(); }

private:
    QMap<int, QAction *> m_items;
};

// An item's caption as the program sets and reads it: "&" marks the access
// key, and every later "&" belongs to the text ("&1   /home/a&b.txt"). An
// item whose caption was never set has its laid-out text.
inline QString Caption(const QAction *item)
{
    if (!item)
        return QString();
    const QVariant caption = item->property("caption");
    return caption.isValid() ? caption.toString() : item->text();
}

// The menu shows the text after the first "&" literally: a later "&" (as in a
// path) is doubled so that it neither becomes a second access key nor goes.
inline void setCaption(QAction *item, const QString &caption)
{
    if (!item)
        return;
    item->setProperty("caption", caption);
    const qsizetype mark = caption.indexOf(u'&');
    if (mark < 0) {
        item->setText(caption);
        return;
    }
    QString later = caption.mid(mark + 1);
    item->setText(caption.left(mark + 1) + later.replace(u'&', QStringLiteral("&&")));
}

// A toolbar whose buttons, separators included, are numbered from 1.
class Toolbar : public QToolBar
{
    Q_OBJECT

public:
    using QToolBar::QToolBar;
    ActionArray Buttons;
};
