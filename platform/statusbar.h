#pragma once

#include <QList>
#include <QStatusBar>
#include <QTimer>

#include <functional>

class QLabel;

// A status bar of panels, numbered from 1. A panel of a key-state or date
// kind keeps itself up to date; only a text panel shows what it was given.
class StatusBar : public QStatusBar
{
    Q_OBJECT

public:
    // Encoding: the encoding of the document shown, from encodingSource.
    enum class PanelKind { Text, CapsLock, NumLock, Insert, ScrollLock, Date, Encoding };

    explicit StatusBar(QWidget *parent = nullptr);

    void addPanel(PanelKind kind, const QString &text, const QString &toolTip);
    int panelCount() const { return int(m_panels.size()); }
    QLabel *panel(int index) const;
    PanelKind panelKind(int index) const;
    // Whether a key-state panel shows its state as on.
    bool panelLit(int index) const;

    // Reads the key states, the date and the encoding again.
    void refresh();
    void setEncodingSource(std::function<QString()> source) { m_encodingSource = std::move(source); }

private:
    struct Panel
    {
        PanelKind kind;
        QLabel *label;
        bool lit;
    };

    QList<Panel> m_panels;
    QTimer m_clock;
    std::function<QString()> m_encodingSource;
};
