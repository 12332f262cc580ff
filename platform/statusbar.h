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
    // Caret: where the caret of the document shown stands, from caretSource.
    enum class PanelKind { Text, CapsLock, NumLock, Insert, ScrollLock, Date, Encoding, Caret };

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
    const std::function<QString()> &caretSource() const { return m_caretSource; }
    // An empty source leaves the caret panel empty and no longer read.
    void setCaretSource(std::function<QString()> source);
    // The caret moved or its text changed: the caret panel is read again
    // once the events in hand are done, however many came.
    void caretMoved();

private:
    struct Panel
    {
        PanelKind kind;
        QLabel *label;
        bool lit;
    };

    void showCaret();

    QList<Panel> m_panels;
    QTimer m_clock;
    QTimer m_caretWait;
    std::function<QString()> m_encodingSource;
    std::function<QString()> m_caretSource;
};
