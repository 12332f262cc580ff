#pragma once

#include <QAction>
#include <QEvent>
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

// A toolbar whose buttons, separators included, are numbered from 1. It is
// given a width but shows no wider than the room its container leaves it, so
// that the buttons beyond that room go to its extension menu rather than out
// of sight.
class Toolbar : public QToolBar
{
    Q_OBJECT

public:
    explicit Toolbar(QWidget *container)
        : QToolBar(container)
    {
        container->installEventFilter(this);
    }

    ActionArray Buttons;

    int givenWidth() const { return m_givenWidth; } // pixels
    void setGivenWidth(int pixels)
    {
        m_givenWidth = pixels;
        keepInContainer();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            keepInContainer();
        return QToolBar::eventFilter(watched, event);
    }

    void moveEvent(QMoveEvent *event) override
    {
        QToolBar::moveEvent(event);
        keepInContainer();
    }

private:
    void keepInContainer() { resize(qMin(m_givenWidth, parentWidget()->width() - x()), height()); }

    int m_givenWidth = QWIDGETSIZE_MAX;
};
