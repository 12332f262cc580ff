#pragma once

#include <QAction>
#include <QMap>
#include <QToolBar>

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

// A toolbar whose buttons, separators included, are numbered from 1.
class Toolbar : public QToolBar
{
    Q_OBJECT

public:
    using QToolBar::QToolBar;
    ActionArray Buttons;
};
