#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QMdiSubWindow>
#include <QPointer>

#include <functional>

class QAction;
class QMdiArea;
class QMenu;

// The list of a frame's windows that its Window menu carries below its own
// items: the first nine in the order they were opened, numbered "&1 " to
// "&9 ", the active one among them (in the ninth place when it comes later)
// and checked; then, when there are more, "&More Windows...", which offers
// them all in "Select Window".
class WindowList : public QObject
{
    Q_OBJECT

public:
    // What the list shows for a window.
    using CaptionOf = std::function<QString(const QMdiSubWindow &)>;

    WindowList(QMdiArea &area, QMenu &menu, CaptionOf captionOf);

    // Lists the windows afresh, in place of the list of the last time; the
    // frame calls it as the menu is about to show.
    void fill();
    // "Select Window": every window, the active one chosen at first; OK or a
    // double click brings the one chosen forward.
    void selectWindow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activate(QMdiSubWindow *window);

    QMdiArea &m_area;
    QMenu &m_menu;
    CaptionOf m_captionOf;
    QList<QAction *> m_entries;
    QHash<const QAction *, QPointer<QMdiSubWindow>> m_windows;
    // The window whose entry is being chosen, by key or click.
    QPointer<QMdiSubWindow> m_chosen;
};
