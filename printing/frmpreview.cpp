#include "printing/frmpreview.h"

#include "platform/previewsurface.h"
#include "platform/printer.h"
#include "platform/screen.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

// Room around and between the pages, in pixels.
constexpr int gap = 12;
// How long one step of counting pages may keep the window from the user.
constexpr qint64 countingStepMs = 20;
const QList<int> zoomSteps {25, 50, 75, 100, 125, 150, 200, 300, 400};

} // namespace

// The pages shown, side by side on a grey ground.
class PreviewPages : public QWidget
{
public:
    QList<QImage> papers;

    void setPapers(const QList<QImage> &shown)
    {
        papers = shown;
        int width = gap;
        int height = 0;
        for (const QImage &paper : papers) {
            width += int(paper.deviceIndependentSize().width()) + gap;
            height = std::max(height, int(paper.deviceIndependentSize().height()));
        }
        setFixedSize(width, height + 2 * gap);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        int x = gap;
        for (const QImage &paper : papers) {
            const QSize size = paper.deviceIndependentSize().toSize();
            painter.fillRect(QRect(QPoint(x + 3, gap + 3), size), palette().color(QPalette::Shadow));
            painter.drawImage(x, gap, paper);
            x += size.width() + gap;
        }
    }
};

frmPreview::frmPreview(QWidget *parent, const PrintedText &text, const QString &header, qint64 first, qint64 last)
    : QDialog(parent), m_text(text), m_header(header), m_firstShown(std::max<qint64>(first, 1)), m_last(last)
{
    setWindowTitle(QStringLiteral("Print Preview"));
    setSizeGripEnabled(true);

    auto button = [this](const QString &caption, QStyle::StandardPixmap icon) {
        auto *tool = new QToolButton;
        tool->setText(caption);
        tool->setToolTip(QString(caption).remove(u'&'));
        tool->setIcon(style()->standardIcon(icon));
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        tool->setAutoRaise(true);
        return tool;
    };
    cmdFirst = button(QStringLiteral("&First"), QStyle::SP_MediaSkipBackward);
    cmdPrevious = button(QStringLiteral("P&revious"), QStyle::SP_ArrowBack);
    txtPage = new QLineEdit;
    txtPage->setValidator(new QIntValidator(1, 99999, txtPage));
    txtPage->setMaxLength(5);
    txtPage->setFixedWidth(txtPage->fontMetrics().horizontalAdvance(QStringLiteral("999999")) + 12);
    txtPage->setAlignment(Qt::AlignRight);
    auto *pageLabel = new QLabel(QStringLiteral("P&age"));
    pageLabel->setBuddy(txtPage);
    lblPages = new QLabel;
    lblPages->setMinimumWidth(lblPages->fontMetrics().horizontalAdvance(QStringLiteral("of 99999…")));
    cmdNext = button(QStringLiteral("&Next"), QStyle::SP_ArrowForward);
    cmdLast = button(QStringLiteral("&Last"), QStyle::SP_MediaSkipForward);
    cmdZoomOut = button(QStringLiteral("Zoom &Out"), QStyle::SP_ArrowDown);
    cboZoom = new QComboBox;
    cboZoom->addItems({QStringLiteral("Fit Page"), QStringLiteral("Fit Width")});
    for (int percent : zoomSteps)
        cboZoom->addItem(QStringLiteral("%1%").arg(percent), percent);
    auto *zoomLabel = new QLabel(QStringLiteral("&Zoom"));
    zoomLabel->setBuddy(cboZoom);
    cmdZoomIn = button(QStringLiteral("Zoom &In"), QStyle::SP_ArrowUp);
    cmdOnePage = button(QStringLiteral("On&e Page"), QStyle::SP_FileIcon);
    cmdTwoPages = button(QStringLiteral("T&wo Pages"), QStyle::SP_FileDialogDetailedView);
    for (QToolButton *view : {cmdOnePage, cmdTwoPages})
        view->setCheckable(true);
    cmdOnePage->setChecked(true);
    auto *views = new QButtonGroup(this);
    views->addButton(cmdOnePage);
    views->addButton(cmdTwoPages);
    cmdPrint = button(QStringLiteral("&Print"), QStyle::SP_DialogOkButton);
    cmdClose = button(QStringLiteral("&Close"), QStyle::SP_DialogCloseButton);

    auto *bar = new QHBoxLayout;
    for (QWidget *item : std::initializer_list<QWidget *> {cmdFirst, cmdPrevious, pageLabel, txtPage, lblPages, cmdNext,
                                                          cmdLast})
        bar->addWidget(item);
    bar->addSpacing(gap);
    for (QWidget *item : std::initializer_list<QWidget *> {zoomLabel, cmdZoomOut, cboZoom, cmdZoomIn})
        bar->addWidget(item);
    bar->addSpacing(gap);
    bar->addWidget(cmdOnePage);
    bar->addWidget(cmdTwoPages);
    bar->addStretch(1);
    bar->addWidget(cmdPrint);
    bar->addWidget(cmdClose);

    m_view = new PreviewPages;
    scrPages = new QScrollArea;
    scrPages->setWidget(m_view);
    scrPages->setAlignment(Qt::AlignCenter);
    scrPages->setBackgroundRole(QPalette::Dark);
    // The row of buttons may be narrower than its captions: the captions go.
    auto *buttons = new QWidget;
    buttons->setLayout(bar);
    bar->setContentsMargins(QMargins());
    m_buttonsWithText = bar->sizeHint().width();
    buttons->setMinimumWidth(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buttons);
    layout->addWidget(scrPages, 1);

    const QRect screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    m_buttonsWithText += layout->contentsMargins().left() + layout->contentsMargins().right();
    resize(std::min(screen.width(), std::max(760, screen.width() * 3 / 4)),
           std::min(screen.height(), std::max(560, screen.height() * 7 / 8)));

    connect(cmdFirst, &QToolButton::clicked, this, [this] { showPage(m_firstShown); });
    connect(cmdPrevious, &QToolButton::clicked, this, [this] { showPage(m_current - sideBySide()); });
    connect(cmdNext, &QToolButton::clicked, this, [this] { showPage(m_current + sideBySide()); });
    connect(cmdLast, &QToolButton::clicked, this, [this] {
        countAll();
        showPage(knownLastPage() - sideBySide() + 1);
    });
    connect(txtPage, &QLineEdit::returnPressed, this, [this] { showPage(txtPage->text().toLongLong()); });
    connect(txtPage, &QLineEdit::editingFinished, this, [this] { txtPage->setText(QString::number(m_current)); });
    connect(cmdZoomOut, &QToolButton::clicked, this, [this] { zoomBy(-1); });
    connect(cmdZoomIn, &QToolButton::clicked, this, [this] { zoomBy(1); });
    connect(cboZoom, &QComboBox::activated, this, &frmPreview::cboZoom_Activated);
    connect(views, &QButtonGroup::buttonClicked, this, [this] { showPage(m_current); });
    connect(cmdPrint, &QToolButton::clicked, this, &frmPreview::cmdPrint_Click);
    connect(cmdClose, &QToolButton::clicked, this, &frmPreview::reject);
    const std::pair<QKeySequence, QToolButton *> keys[] = {
        {QKeySequence(Qt::Key_PageUp), cmdPrevious},          {QKeySequence(Qt::Key_PageDown), cmdNext},
        {QKeySequence(Qt::CTRL | Qt::Key_Home), cmdFirst},    {QKeySequence(Qt::CTRL | Qt::Key_End), cmdLast},
        {QKeySequence(QKeySequence::ZoomIn), cmdZoomIn},      {QKeySequence(QKeySequence::ZoomOut), cmdZoomOut},
        {QKeySequence(Qt::CTRL | Qt::Key_P), cmdPrint},
    };
    for (const auto &[key, target] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, target, &QToolButton::click);

    m_counter = new QTimer(this);
    m_counter->setInterval(0);
    connect(m_counter, &QTimer::timeout, this, [this] { count(std::numeric_limits<qint64>::max(), true); });

    // The keys for paging and zooming go to the pages, not the page box.
    scrPages->setFocus();
    m_starts.append(PageStart());
    countTo(m_firstShown);
    m_current = m_firstShown;
    txtPage->setText(QString::number(m_current));
}

frmPreview::~frmPreview() = default;

void frmPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Drawn at the window's real size, for the zoom to fit it.
    drawShown();
    if (!m_counted)
        m_counter->start();
}

void frmPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // Where the captions do not fit, the buttons show their pictures only.
    const Qt::ToolButtonStyle buttons = width() >= m_buttonsWithText ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly;
    for (QToolButton *tool : findChildren<QToolButton *>())
        tool->setToolButtonStyle(buttons);
    if (m_fit != Fit::None && isVisible())
        drawShown();
}

qint64 frmPreview::knownLastPage() const
{
    const qint64 known = m_starts.size();
    return m_last > 0 ? std::min(m_last, known) : known;
}

// Lays out until the page is known to begin or the count is complete. In
// the background a step stops after countingStepMs, and the next goes on.
void frmPreview::count(qint64 page, bool background)
{
    if (m_counted || page <= qint64(m_starts.size()))
        return;
    if (!background)
        Screen::setMousePointer(MousePointer::Hourglass);
    QElapsedTimer step;
    step.start();
    bool stopped = false;
    bool rangeEnded = false;
    CPrintWrap engine(ThePrinter());
    engine.setHeaderText(m_header);
    engine.LayOut(m_text, m_starts.last(), [&](const PageStart &start) {
        m_starts.append(start);
        rangeEnded = m_last > 0 && start.page > m_last;
        stopped = rangeEnded || (background ? step.elapsed() >= countingStepMs : start.page >= page);
        return !stopped;
    });
    m_counted = !stopped || rangeEnded;
    if (!background)
        Screen::setMousePointer(MousePointer::Default);
    showCount();
}

void frmPreview::countTo(qint64 page)
{
    count(page, false);
}

void frmPreview::countAll()
{
    countTo(std::numeric_limits<qint64>::max());
}

void frmPreview::showCount()
{
    if (m_counted)
        m_counter->stop();
    lblPages->setText(QStringLiteral("of %1%2").arg(knownLastPage()).arg(m_counted ? QString() : QStringLiteral("…")));
    cmdNext->setEnabled(!m_counted || m_current + sideBySide() <= knownLastPage());
    cmdLast->setEnabled(cmdNext->isEnabled());
    cmdPrevious->setEnabled(m_current > m_firstShown);
    cmdFirst->setEnabled(cmdPrevious->isEnabled());
}

int frmPreview::sideBySide() const
{
    return cmdTwoPages->isChecked() ? 2 : 1;
}

void frmPreview::showPage(qint64 page)
{
    countTo(page + sideBySide() - 1);
    m_current = std::clamp(page, m_firstShown, std::max(m_firstShown, knownLastPage()));
    txtPage->setText(QString::number(m_current));
    drawShown();
}

// The pages in sight, laid out from where the count found them to begin.
void frmPreview::drawShown()
{
    m_shown.clear();
    const qint64 last = std::min(m_current + sideBySide() - 1, knownLastPage());
    if (m_current <= last) {
        // Drawn in the screen's own pixels, sharp where it has more than one
        // to a point.
        const qreal ratio = devicePixelRatioF();
        PreviewSurface surface(ThePrinter(), dotsPerInch() * ratio);
        CPrintWrap engine(surface);
        engine.setHeaderText(m_header);
        (void)engine.PrintPages(m_text, startOf(m_current), last);
        m_shown = surface.sheets();
        for (PreviewSurface::Sheet &sheet : m_shown)
            sheet.paper.setDevicePixelRatio(ratio);
    }
    QList<QImage> papers;
    for (const PreviewSurface::Sheet &shown : m_shown)
        papers.append(shown.paper);
    m_view->setPapers(papers);
    m_view->setAccessibleName(QStringLiteral("Page %1").arg(m_current));
    cboZoom->setCurrentIndex(m_fit == Fit::Page ? 0 : m_fit == Fit::Width ? 1 : cboZoom->findData(m_percent));
    showCount();
}

// The paper at the zoom: a percentage of its real size on this screen, or
// as large as the window lets the pages in sight be.
double frmPreview::dotsPerInch() const
{
    const double screenDpi = logicalDpiX();
    if (m_fit == Fit::None)
        return screenDpi * m_percent / 100;
    const QSizeF paper = ThePrinter().PaperSize() / 1440.0;
    const int pages = sideBySide();
    const QSize room = scrPages->maximumViewportSize()
                       - QSize(gap * (pages + 1) + scrPages->verticalScrollBar()->sizeHint().width(), 2 * gap);
    const double acrossFits = room.width() / (paper.width() * pages);
    if (m_fit == Fit::Width)
        return std::max(8.0, acrossFits);
    return std::max(8.0, std::min(acrossFits, room.height() / paper.height()));
}

double frmPreview::zoomPercent() const
{
    return dotsPerInch() / logicalDpiX() * 100;
}

// The next step of zoom above or below the zoom shown.
void frmPreview::zoomBy(int steps)
{
    const double now = zoomPercent();
    int next = steps > 0 ? zoomSteps.last() : zoomSteps.first();
    for (int percent : zoomSteps) {
        if (steps > 0 && percent > now + 0.5) {
            next = percent;
            break;
        }
        if (steps < 0 && percent < now - 0.5)
            next = percent;
    }
    m_fit = Fit::None;
    m_percent = next;
    drawShown();
}

void frmPreview::cboZoom_Activated(int index)
{
    m_fit = index == 0 ? Fit::Page : index == 1 ? Fit::Width : Fit::None;
    if (m_fit == Fit::None)
        m_percent = cboZoom->itemData(index).toInt();
    drawShown();
}

void frmPreview::cmdPrint_Click()
{
    done(PrintChosen);
}
