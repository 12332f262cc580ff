#include "platform/windowlist.h"

#include "platform/mdiarrange.h"
#include "platform/modal.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

namespace {

constexpr int numbered = 9;

// While the frame itself is being activated the area may name no window for
// a moment; the one activated last is still the active one.
QMdiSubWindow *activeWindow(const QMdiArea &area)
{
    if (QMdiSubWindow *current = area.currentSubWindow())
        return current;
    const QList<QMdiSubWindow *> history = area.subWindowList(QMdiArea::ActivationHistoryOrder);
    return history.isEmpty() ? nullptr : history.last();
}

} // namespace

WindowList::WindowList(QMdiArea &area, QMenu &menu, CaptionOf captionOf)
    : QObject(&menu)
    , m_area(area)
    , m_menu(menu)
    , m_captionOf(std::move(captionOf))
{
    m_menu.installEventFilter(this);
    // The menu closes before the entry chosen is carried out.
    connect(&m_menu, &QMenu::aboutToHide, this, [this] {
        if (const QMdiSubWindow *window = std::exchange(m_chosen, nullptr); window && window->widget() && !window->isMinimized())
            window->widget()->setFocus(Qt::OtherFocusReason);
    });
}

void WindowList::fill()
{
    qDeleteAll(m_entries);
    m_entries.clear();
    m_windows.clear();
    const QList<QMdiSubWindow *> windows = m_area.subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    QMdiSubWindow *active = activeWindow(m_area);
    QList<QMdiSubWindow *> listed = windows.first(qMin(windows.size(), qsizetype(numbered)));
    if (active && !listed.contains(active))
        listed.last() = active;

    m_entries.append(m_menu.addSeparator());
    for (qsizetype i = 0; i < listed.size(); ++i) {
        QPointer<QMdiSubWindow> window = listed[i];
        QAction *entry = m_menu.addAction(QStringLiteral("&%1 ").arg(i + 1)
                                          + QString(m_captionOf(*window)).replace(u'&', QStringLiteral("&&")));
        // Only the active one bears a mark.
        entry->setCheckable(window == active);
        entry->setChecked(window == active);
        connect(entry, &QAction::triggered, this, [this, window] { activate(window); });
        m_entries.append(entry);
        m_windows.insert(entry, window);
    }
    if (windows.size() > numbered) {
        QAction *more = m_menu.addAction(QStringLiteral("&More Windows..."));
        connect(more, &QAction::triggered, this, &WindowList::selectWindow);
        m_entries.append(more);
    }
}

void WindowList::selectWindow()
{
    const QList<QMdiSubWindow *> windows = m_area.subWindowList(QMdiArea::CreationOrder);
    const QList<QPointer<QMdiSubWindow>> offered(windows.cbegin(), windows.cend());

    QDialog dialog(m_area.window());
    dialog.setWindowTitle(QStringLiteral("Select Window"));
    auto *list = new QListWidget;
    list->setUniformItemSizes(true);
    list->setMinimumWidth(list->fontMetrics().averageCharWidth() * 48);
    for (const QMdiSubWindow *window : windows)
        list->addItem(m_captionOf(*window));
    list->setCurrentRow(int(windows.indexOf(activeWindow(m_area))));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);

    if (ShowModal(dialog) == QDialog::Accepted)
        activate(offered.value(list->currentRow()));
}

void WindowList::activate(QMdiSubWindow *window)
{
    if (!window)
        return;
    // A minimised window chosen comes back to its size.
    if (window->isMinimized())
        window->showNormal();
    ActivateSubWindow(m_area, *window);
}

bool WindowList::eventFilter(QObject *watched, QEvent *event)
{
    // A menu opened from the keyboard gives the keys back to the window they
    // came from as it closes, before the entry chosen is carried out, and a
    // screen reader would announce that window on the way: the keys go to
    // the window chosen as the menu closes.
    QAction *chosen = nullptr;
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space)
            chosen = m_menu.activeAction();
        for (qsizetype i = 1; !chosen && i < m_entries.size() && !key->text().isEmpty(); ++i) {
            if (m_entries[i]->text().startsWith(u'&' + key->text()))
                chosen = m_entries[i];
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        chosen = m_menu.actionAt(static_cast<QMouseEvent *>(event)->position().toPoint());
    }
    if (chosen)
        m_chosen = m_windows.value(chosen);
    return QObject::eventFilter(watched, event);
}
