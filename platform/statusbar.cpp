#include "platform/statusbar.h"

#include "platform/lockkeys.h"
#include "platform/richtextbox.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLocale>

#include <algorithm>

namespace {

// A panel as wide as its widest text when there is room; narrower, it is
// cut off at its own edges rather than drawn over its neighbours.
class PanelLabel : public QLabel
{
public:
    PanelLabel(const QString &text, const QString &widest)
        : QLabel(text)
        , m_widest(widest)
    {
    }

    QSize sizeHint() const override
    {
        const QSize own = QLabel::sizeHint();
        return {std::max(own.width(), fontMetrics().horizontalAdvance(m_widest) + 12), own.height()};
    }

private:
    QString m_widest;
};

// What a lock-key panel says to those who cannot see it greyed.
QString stateInWords(StatusBar::PanelKind kind, const QString &toolTip, bool lit)
{
    if (kind == StatusBar::PanelKind::Insert)
        return lit ? QStringLiteral("Overwrite on") : QStringLiteral("Overwrite off");
    return toolTip + (lit ? QStringLiteral(" on") : QStringLiteral(" off"));
}

} // namespace

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(true);
    // Once a second is often enough for the date and the lock keys.
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &StatusBar::refresh);
    connect(qApp, &QApplication::focusChanged, this, &StatusBar::refresh);
    m_clock.start();
    m_caretWait.setSingleShot(true);
    m_caretWait.setInterval(0);
    connect(&m_caretWait, &QTimer::timeout, this, &StatusBar::showCaret);
}

void StatusBar::setCaretSource(std::function<QString()> source)
{
    m_caretSource = std::move(source);
    showCaret();
}

void StatusBar::caretMoved()
{
    if (m_caretSource && !m_caretWait.isActive())
        m_caretWait.start();
}

void StatusBar::showCaret()
{
    const QString place = m_caretSource ? m_caretSource() : QString();
    for (Panel &panel : m_panels) {
        if (panel.kind == PanelKind::Caret)
            panel.label->setText(place);
    }
}

void StatusBar::addPanel(PanelKind kind, const QString &text, const QString &toolTip)
{
    const QString widest = kind == PanelKind::Date       ? QStringLiteral("00/00/0000")
                           : kind == PanelKind::Encoding ? QStringLiteral("UTF-8 with BOM")
                           : kind == PanelKind::Caret    ? QStringLiteral("Ln 9999, Col 999")
                           : kind == PanelKind::Text     ? QString()
                                                         : QStringLiteral("SCRL");
    auto *label = new PanelLabel(text, widest);
    label->setTextFormat(Qt::PlainText);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setToolTip(toolTip);
    label->setAlignment(Qt::AlignCenter);
    if (kind == PanelKind::Text) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        addWidget(label, 1);
    } else {
        addPermanentWidget(label);
    }
    m_panels.append({kind, label, false});
    refresh();
}

QLabel *StatusBar::panel(int index) const
{
    return index >= 1 && index <= m_panels.size() ? m_panels[index - 1].label : nullptr;
}

StatusBar::PanelKind StatusBar::panelKind(int index) const
{
    return m_panels.at(index - 1).kind;
}

bool StatusBar::panelLit(int index) const
{
    return index >= 1 && index <= m_panels.size() && m_panels[index - 1].lit;
}

void StatusBar::refresh()
{
    // One question to the window system for all three lock keys.
    const LockKeyStates locks = lockKeyStates().value_or(LockKeyStates());
    for (Panel &panel : m_panels) {
        switch (panel.kind) {
        case PanelKind::Text:
            continue;
        case PanelKind::Caret:
            caretMoved();
            continue;
        case PanelKind::Date:
            panel.label->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
            continue;
        case PanelKind::Encoding:
            panel.label->setText(m_encodingSource ? m_encodingSource() : QString());
            continue;
        case PanelKind::Insert: {
            // Lit while the focused edit control overwrites.
            const auto *edit = qobject_cast<const RichTextBox *>(QApplication::focusWidget());
            panel.lit = edit && edit->overwriteMode();
            break;
        }
        case PanelKind::CapsLock:
            panel.lit = locks.capsLock;
            break;
        case PanelKind::NumLock:
            panel.lit = locks.numLock;
            break;
        case PanelKind::ScrollLock:
            panel.lit = locks.scrollLock;
            break;
        }
        panel.label->setEnabled(panel.lit);
        const QString words = stateInWords(panel.kind, panel.label->toolTip(), panel.lit);
        // Said again only when it changes: a reader would announce each time.
        if (panel.label->accessibleName() != words)
            panel.label->setAccessibleName(words);
    }
}
