#include "platform/mdiarrange.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QSet>
#include <QStyle>

#include <optional>

namespace {

QList<QMdiSubWindow *> windows(const QMdiArea &area, bool minimised)
{
    QList<QMdiSubWindow *> found;
    // The active window first, then the others as they were last used.
    const QList<QMdiSubWindow *> order = area.subWindowList(QMdiArea::StackingOrder);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if ((*it)->isVisible() && (*it)->isMinimized() == minimised)
            found.append(*it);
    }
    return found;
}

// The height the rows of icons take at the bottom of the area.
int iconRowsHeight(const QMdiArea &area)
{
    const QList<QMdiSubWindow *> icons = windows(area, true);
    const QRect space = area.viewport()->rect();
    int top = space.bottom() + 1;
    for (const QMdiSubWindow *icon : icons)
        top = qMin(top, icon->y());
    return icons.isEmpty() ? 0 : qMax(0, space.bottom() + 1 - top);
}

void tile(QMdiArea &area, Qt::Orientation along)
{
    const QList<QMdiSubWindow *> tiles = windows(area, false);
    if (tiles.isEmpty())
        return;
    QRect space = area.viewport()->rect();
    space.setBottom(space.bottom() - iconRowsHeight(area));
    const int count = int(tiles.size());
    const int total = along == Qt::Vertical ? space.height() : space.width();
    for (int i = 0; i < count; ++i) {
        // Each takes an equal share; the remainder is spread over the first ones.
        const int from = total * i / count;
        const int to = total * (i + 1) / count;
        QMdiSubWindow *window = tiles[i];
        window->showNormal();
        if (along == Qt::Vertical)
            window->setGeometry(space.left(), space.top() + from, space.width(), to - from);
        else
            window->setGeometry(space.left() + from, space.top(), to - from, space.height());
    }
}

void cascade(QMdiArea &area)
{
    const QList<QMdiSubWindow *> order = windows(area, false);
    const QMdiSubWindow *previous = nullptr;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        QMdiSubWindow *window = *it;
        window->showNormal();
        window->setGeometry(CascadePlace(area, *window, previous));
        window->raise();
        previous = window;
    }
}

void arrangeIcons(QMdiArea &area)
{
    const QRect space = area.viewport()->rect();
    int x = space.left();
    int bottom = space.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow *icon : windows(area, true)) {
        const QSize size = icon->size();
        if (x > space.left() && x + size.width() > space.right() + 1) {
            bottom -= rowHeight;
            x = space.left();
            rowHeight = 0;
        }
        icon->move(x, bottom - size.height());
        x += size.width();
        rowHeight = qMax(rowHeight, size.height());
    }
}

QRect cascadeAfter(const QMdiArea &area, const QMdiSubWindow &window, std::optional<QPoint> previous)
{
    const QRect space = area.viewport()->rect();
    const QSize size = space.size() * 3 / 4;
    const int step = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    QPoint at = previous ? *previous + QPoint(step, step) : space.topLeft();
    if (!space.contains(QRect(at, size)))
        at = space.topLeft();
    return QRect(at, size);
}

} // namespace

void Arrange(QMdiArea &area, int arrangement)
{
    switch (arrangement) {
    case MdiArrange::Cascade:
        cascade(area);
        break;
    case MdiArrange::TileHorizontal:
        tile(area, Qt::Vertical);
        break;
    case MdiArrange::TileVertical:
        tile(area, Qt::Horizontal);
        break;
    case MdiArrange::ArrangeIcons:
        arrangeIcons(area);
        break;
    default:
        break;
    }
}

void ActivateSubWindow(QMdiArea &area, QMdiSubWindow &window)
{
    // A window going back clears the keys of its widget, and a reader takes
    // that for the widget getting them: they leave it first.
    QWidget *focus = QApplication::focusWidget();
    const bool leaving = focus && area.isAncestorOf(focus) && !window.isAncestorOf(focus);
    if (!window.isVisible()) {
        // Showing brings the window forward at once; until then the keys
        // wait in the menu bar, of which no reader is told.
        auto *bar = area.window()->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly);
        if (leaving && bar)
            bar->setFocus(Qt::OtherFocusReason);
        window.show();
    } else if (leaving && window.widget()) {
        window.widget()->setFocus(Qt::OtherFocusReason);
    }
    area.setActiveSubWindow(&window);
}

QRect CascadePlace(const QMdiArea &area, const QMdiSubWindow &window, const QMdiSubWindow *previous)
{
    return cascadeAfter(area, window, previous ? std::optional(previous->pos()) : std::nullopt);
}

QRect NewWindowPlace(const QMdiArea &area, const QMdiSubWindow &window)
{
    QSet<QPoint> taken;
    const QMdiSubWindow *previous = nullptr;
    for (const QMdiSubWindow *other : area.subWindowList(QMdiArea::CreationOrder)) {
        if (other != &window && !other->isHidden() && !other->isMinimized()) {
            taken.insert(other->pos());
            previous = other;
        }
    }
    const QRect next = CascadePlace(area, window, previous);
    // The places run round the area's top left; each is tried once.
    QSet<QPoint> tried;
    QRect place = next;
    while (taken.contains(place.topLeft()) && !tried.contains(place.topLeft())) {
        tried.insert(place.topLeft());
        place = cascadeAfter(area, window, place.topLeft());
    }
    return taken.contains(place.topLeft()) ? next : place;
}
