#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTextBrowser;

// The help window: the guide in a browser and, for a keyword search, the
// guide's index as a keyword panel beside it. The index is read from the
// guide itself: every link after the anchor named "index" is a keyword (the
// link's text) leading to the place its "#anchor" names.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows html as the guide and reads its index. The same text again
    // leaves the window as it is.
    void setGuide(const QString &html);

    // The guide from its top, without the keyword panel.
    void showContents();
    // The keyword panel with key in its box and the keyword it starts
    // selected, the focus in the box.
    void showIndex(const QString &key);

    // Scrolls the guide to the chosen keyword's place; false when no keyword
    // is chosen.
    bool displaySelectedKeyword();
    // Scrolls the guide to the anchor; false when the guide has no such
    // anchor.
    bool showAnchor(const QString &anchor);

    // The keywords as listed, and the anchor each leads to.
    QStringList keywords() const;
    QString anchorOf(const QString &keyword) const;
    // The anchor last scrolled to; empty while the guide is at its top.
    QString currentAnchor() const { return m_currentAnchor; }

    QTextBrowser *browser() const { return m_browser; }
    QWidget *keywordPanel() const { return m_panel; }
    QLineEdit *keywordBox() const { return m_box; }
    QListWidget *keywordList() const { return m_list; }
    QPushButton *displayButton() const { return m_display; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry
    {
        QString keyword;
        QString anchor;
    };

    void readIndex();
    void selectKeywordStarting(const QString &text);
    void bringForward();
    void followLink(const QUrl &url);

    QTextBrowser *m_browser = nullptr;
    QWidget *m_panel = nullptr;
    QLineEdit *m_box = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_display = nullptr;
    QString m_guide;
    QList<Entry> m_entries; // in list order
    QString m_currentAnchor;
    bool m_typing = false;
};
