#include "platform/helpwindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString indexAnchor = QStringLiteral("index");

// The anchor an in-guide link ("#name") leads to; empty for any other link.
QString anchorOfLink(const QUrl &url)
{
    if (!url.isRelative() || !url.path().isEmpty() || !url.hasFragment())
        return QString();
    return url.fragment(QUrl::FullyDecoded);
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Quillory Help"));
    // Help left open must not keep the program running once its frame closes.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_panel = new QWidget;
    auto *label = new QLabel(QStringLiteral("&Type the first letters of the word you are looking for:"));
    label->setWordWrap(true);
    m_box = new QLineEdit;
    label->setBuddy(m_box);
    m_list = new QListWidget;
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_display = new QPushButton(QStringLiteral("&Display"));
    auto *panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(label);
    panelLayout->addWidget(m_box);
    panelLayout->addWidget(m_list, 1);
    panelLayout->addWidget(m_display, 0, Qt::AlignRight);

    m_browser = new QTextBrowser;
    // Links are followed by hand, so that only the guide's own places open
    // here.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_panel);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({230, 490});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(720, 520);

    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    connect(m_box, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_typing = true;
        selectKeywordStarting(text);
        m_typing = false;
    });
    connect(m_box, &QLineEdit::returnPressed, this, &HelpWindow::displaySelectedKeyword);
    connect(m_list, &QListWidget::itemActivated, this, &HelpWindow::displaySelectedKeyword);
    connect(m_display, &QPushButton::clicked, this, &HelpWindow::displaySelectedKeyword);
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *current) {
        // A keyword picked in the list goes into the box; one reached by
        // typing leaves the typed text alone.
        if (current && !m_typing)
            m_box->setText(current->text());
    });
    // The arrow keys walk the list while the focus stays in the box.
    m_box->installEventFilter(this);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::setGuide(const QString &html)
{
    if (html == m_guide && !m_guide.isEmpty())
        return;
    m_guide = html;
    m_browser->setHtml(html);
    m_currentAnchor.clear();
    readIndex();
    m_list->clear();
    for (const Entry &entry : std::as_const(m_entries))
        m_list->addItem(entry.keyword);
}

void HelpWindow::readIndex()
{
    m_entries.clear();
    bool inIndex = false;
    Entry pending;
    QString pendingHref;
    auto finish = [&] {
        pending.keyword = pending.keyword.simplified();
        if (!pending.keyword.isEmpty() && !pending.anchor.isEmpty())
            m_entries.append(pending);
        pending = Entry();
    };
    const QTextDocument *document = m_browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!inIndex) {
                inIndex = format.anchorNames().contains(indexAnchor);
                if (!inIndex)
                    continue;
            }
            // A keyword whose text changes style midway is split over
            // fragments that share one link.
            const QString href = format.isAnchor() ? format.anchorHref() : QString();
            if (href != pendingHref || href.isEmpty())
                finish();
            pendingHref = href;
            if (href.isEmpty())
                continue;
            pending.anchor = anchorOfLink(QUrl(href));
            pending.keyword += fragment.text();
        }
        finish();
        pendingHref.clear();
    }
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const Entry &a, const Entry &b) {
        return QString::compare(a.keyword, b.keyword, Qt::CaseInsensitive) < 0;
    });
}

void HelpWindow::showContents()
{
    m_panel->hide();
    bringForward();
    m_browser->moveCursor(QTextCursor::Start);
    m_browser->verticalScrollBar()->setValue(0);
    m_browser->horizontalScrollBar()->setValue(0);
    m_currentAnchor.clear();
    m_browser->setFocus(Qt::OtherFocusReason);
}

void HelpWindow::showIndex(const QString &key)
{
    m_panel->show();
    bringForward();
    m_box->setText(key);
    m_typing = true;
    selectKeywordStarting(key);
    m_typing = false;
    m_box->setFocus(Qt::OtherFocusReason);
    m_box->selectAll();
}

void HelpWindow::bringForward()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void HelpWindow::selectKeywordStarting(const QString &text)
{
    if (m_entries.isEmpty())
        return;
    // The first keyword the text starts; failing that, where the text would
    // stand in the list.
    qsizetype row = -1;
    for (qsizetype i = 0; i < m_entries.size() && row < 0; ++i) {
        if (m_entries.at(i).keyword.startsWith(text, Qt::CaseInsensitive))
            row = i;
    }
    if (row < 0) {
        row = m_entries.size() - 1;
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            if (QString::compare(m_entries.at(i).keyword, text, Qt::CaseInsensitive) > 0) {
                row = i;
                break;
            }
        }
    }
    m_list->setCurrentRow(int(row));
    m_list->scrollToItem(m_list->currentItem(), QAbstractItemView::PositionAtTop);
}

bool HelpWindow::displaySelectedKeyword()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_entries.size())
        return false;
    return showAnchor(m_entries.at(row).anchor);
}

bool HelpWindow::showAnchor(const QString &anchor)
{
    if (anchor.isEmpty())
        return false;
    const QTextDocument *document = m_browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor)) {
                m_browser->scrollToAnchor(anchor);
                m_currentAnchor = anchor;
                return true;
            }
        }
    }
    return false;
}

void HelpWindow::followLink(const QUrl &url)
{
    showAnchor(anchorOfLink(url));
}

QStringList HelpWindow::keywords() const
{
    QStringList list;
    for (const Entry &entry : m_entries)
        list << entry.keyword;
    return list;
}

QString HelpWindow::anchorOf(const QString &keyword) const
{
    for (const Entry &entry : m_entries) {
        if (entry.keyword == keyword)
            return entry.anchor;
    }
    return QString();
}

bool HelpWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
