#include "shell/frmmainnote.h"

#include "document/frmnotepad.h"
#include "files/menufile.h"
#include "files/registry.h"
#include "platform/mdiarrange.h"
#include "platform/namedcombobox.h"
#include "platform/program.h"
#include "platform/rebarwindow.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/statusbar.h"
#include "platform/windowlist.h"
#include "shell/artwork.h"
#include "shell/frmbackground.h"
#include "shell/quillo.h"
#include "toolbars/menuformat.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSet>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int rowHeight = 490;       // twips reserved for one row of the rebar
constexpr int containerHeight = 390; // twips
constexpr int noWrap = 65535;

// Adds item index of a menu: "-" is a separator.
QAction *addItem(QMenu *menu, ActionArray &items, int index, const QString &caption,
                 const QKeySequence &shortcut = QKeySequence())
{
    QAction *action = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    action->setShortcut(shortcut);
    items.set(index, action);
    return action;
}

void addButton(Toolbar *toolbar, int index, ToolbarImage image, const QString &toolTip)
{
    QAction *action = toolbar->addAction(toolbarIcon(image), toolTip);
    action->setToolTip(toolTip);
    toolbar->Buttons.set(index, action);
}

void addSeparator(Toolbar *toolbar, int index)
{
    toolbar->Buttons.set(index, toolbar->addSeparator());
}

// The local files a drag carries, as native paths; folders are no files to open.
QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    for (const QUrl &url : data->urls()) {
        const QFileInfo file(url.toLocalFile());
        if (url.isLocalFile() && !file.isDir())
            files << QDir::toNativeSeparators(file.absoluteFilePath());
    }
    return files;
}

} // namespace

frmMainNote::frmMainNote(QWidget *parent)
    : QMainWindow(parent)
{
    Quillo::MainForm = this;
    setWindowTitle(QStringLiteral("Tallowmere Quillory 98/7"));
    setWindowIcon(applicationIcon());

    m_client = new QWidget;
    auto *layout = new QVBoxLayout(m_client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    picToolBar = new QWidget;
    setPicToolBarHeight(3 * rowHeight);
    m_mdiArea = new QMdiArea;
    m_mdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    // A document left outside a narrow frame stays within reach.
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(picToolBar);
    layout->addWidget(m_mdiArea, 1);
    setCentralWidget(m_client);
    setAcceptDrops(true);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &frmMainNote::subWindowActivated);

    buildMenus();
    buildToolbars();
    buildStatusBar();

    tmrPaste.setInterval(50);
    tmrUndo.setInterval(50);
    connectCommands();
    // Centred, at three quarters of the room the screen leaves for windows.
    if (const QScreen *shown = screen()) {
        const QRect room = shown->availableGeometry();
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, room.size() * 3 / 4, room));
    }
    setEnabled(false);
}

frmMainNote::~frmMainNote()
{
    // The status bar outlives this part of the frame, and asks no more.
    sbStatusBar->setEncodingSource({});
    sbStatusBar->setCaretSource({});
    // The document windows go while the frame they report to still stands.
    qDeleteAll(findChildren<frmNotePad *>());
    delete m_background;
}

void frmMainNote::buildMenus()
{
    QMenuBar *bar = menuBar();

    mnuFile = bar->addMenu(QStringLiteral("&File"));
    addItem(mnuFile, mnuFile1, 0, QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N));
    addItem(mnuFile, mnuFile1, 1, QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    addItem(mnuFile, mnuFile1, 2, QStringLiteral("&Close"));
    addItem(mnuFile, mnuFile1, 3, QStringLiteral("-"));
    addItem(mnuFile, mnuFile1, 4, QStringLiteral("&Save..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    addItem(mnuFile, mnuFile1, 5, QStringLiteral("Save &As..."));
    addItem(mnuFile, mnuFile1, 6, QStringLiteral("-"));
    addItem(mnuFile, mnuFile1, 7, QStringLiteral("&Print..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    addItem(mnuFile, mnuFile1, 10, QStringLiteral("-"))->setVisible(false);
    for (int i = 1; i <= 5; ++i)
        addItem(mnuFile, mnuFile1, 10 + i, QStringLiteral("RecentFile") + QString::number(i))->setVisible(false);
    addItem(mnuFile, mnuFile1, 16, QStringLiteral("-"));
    addItem(mnuFile, mnuFile1, 17, QStringLiteral("E&xit"));

    mnuEdit = bar->addMenu(QStringLiteral("&Edit"));
    addItem(mnuEdit, mnuEdit1, 0, QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z))->setEnabled(false);
    addItem(mnuEdit, mnuEdit1, 1, QStringLiteral("&Redo"), QKeySequence(Qt::CTRL | Qt::Key_Y))->setEnabled(false);
    addItem(mnuEdit, mnuEdit1, 2, QStringLiteral("-"));
    addItem(mnuEdit, mnuEdit1, 3, QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X));
    addItem(mnuEdit, mnuEdit1, 4, QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
    addItem(mnuEdit, mnuEdit1, 5, QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
    addItem(mnuEdit, mnuEdit1, 6, QStringLiteral("&Delete"), QKeySequence(Qt::Key_Delete));
    addItem(mnuEdit, mnuEdit1, 7, QStringLiteral("-"));
    addItem(mnuEdit, mnuEdit1, 8, QStringLiteral("&Find..."), QKeySequence(Qt::CTRL | Qt::Key_F));
    addItem(mnuEdit, mnuEdit1, 9, QStringLiteral("Find &Next"), QKeySequence(Qt::Key_F3));
    addItem(mnuEdit, mnuEdit1, 10, QStringLiteral("-"));
    addItem(mnuEdit, mnuEdit1, 11, QStringLiteral("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    addItem(mnuEdit, mnuEdit1, 12, QStringLiteral("&Insert Date/Time"));
    addItem(mnuEdit, mnuEdit1, 13, QStringLiteral("-"));
    addItem(mnuEdit, mnuEdit1, 14, QStringLiteral("R&eplace..."), QKeySequence(Qt::CTRL | Qt::Key_H));
    addItem(mnuEdit, mnuEdit1, 15, QStringLiteral("&Go To..."), QKeySequence(Qt::CTRL | Qt::Key_G));

    mnuView = bar->addMenu(QStringLiteral("&View"));
    addItem(mnuView, mnuView1, 0, QStringLiteral("&Standard Toolbar"));
    addItem(mnuView, mnuView1, 1, QStringLiteral("&Font Toolbar"));
    addItem(mnuView, mnuView1, 2, QStringLiteral("F&ormat Toolbar"));
    addItem(mnuView, mnuView1, 3, QStringLiteral("-"));
    addItem(mnuView, mnuView1, 4, QStringLiteral("S&tatusbar"))->setVisible(false);
    addItem(mnuView, mnuView1, 5, QStringLiteral("&Word Wrap"));
    for (int index : {0, 1, 2, 4, 5}) {
        QAction *item = mnuView1[index];
        item->setCheckable(true);
        item->setChecked(index != 5);
        connect(item, &QAction::triggered, this, [this, item, index] {
            // The menu has already ticked the item; the handler does that
            // itself, after looking at the old state.
            item->setChecked(!item->isChecked());
            mnuView1_Click(index);
        });
    }
    connect(mnuView, &QMenu::aboutToShow, this, &frmMainNote::mnuView_Click);

    mnuFormat = bar->addMenu(QStringLiteral("F&ormat"));
    const QStringList formatItems {QStringLiteral("&Font..."), QStringLiteral("-"), QStringLiteral("&Bold Font"),
                                   QStringLiteral("&Italic Font"), QStringLiteral("&Underline Font"), QStringLiteral("-"),
                                   QStringLiteral("&Text Color..."), QStringLiteral("B&ackground Color...")};
    for (int i = 0; i < formatItems.size(); ++i)
        addItem(mnuFormat, mnuFormat1, i, formatItems[i]);
    mnuFormat1[2]->setCheckable(true);
    mnuFormat1[2]->setChecked(true);
    mnuFormat->menuAction()->setVisible(false);
    mnuFormat->setEnabled(false);

    const QStringList windowItems {QStringLiteral("&Cascade"), QStringLiteral("Tile &Horizontal"),
                                   QStringLiteral("Tile &Vertical"), QStringLiteral("&Arrange Icons")};
    mnuWindow = bar->addMenu(QStringLiteral("&Window"));
    mnuWindow2 = bar->addMenu(QStringLiteral("&Window"));
    for (int i = 0; i < windowItems.size(); ++i) {
        addItem(mnuWindow, mnuWindow1, i, windowItems[i]);
        addItem(mnuWindow2, mnuWindow3, i, windowItems[i])->setEnabled(false);
    }
    mnuWindow2->menuAction()->setVisible(false);
    m_windowList = new WindowList(*m_mdiArea, *mnuWindow, [](const QMdiSubWindow &window) {
        const auto *document = qobject_cast<const frmNotePad *>(&window);
        return document ? document->Caption() : window.windowTitle();
    });
    connect(mnuWindow, &QMenu::aboutToShow, this, &frmMainNote::fillWindowList);

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    // Both Window menus answer Alt+W while they are in the bar, and the
    // hidden one would take the key: only the one shown stands there.
    const auto placeWindowMenus = [this, bar] {
        for (QMenu *menu : {mnuWindow, mnuWindow2}) {
            bar->removeAction(menu->menuAction());
            if (menu->menuAction()->isVisible())
                bar->insertAction(mnuHelp->menuAction(), menu->menuAction());
        }
    };
    connect(mnuWindow->menuAction(), &QAction::visibleChanged, this, placeWindowMenus);
    connect(mnuWindow2->menuAction(), &QAction::visibleChanged, this, placeWindowMenus);
    placeWindowMenus();
    addItem(mnuHelp, mnuHelp1, 0, QStringLiteral("&Contents..."), QKeySequence(Qt::Key_F1));
    addItem(mnuHelp, mnuHelp1, 1, QStringLiteral("&Search For..."));
    addItem(mnuHelp, mnuHelp1, 2, QStringLiteral("-"));
    addItem(mnuHelp, mnuHelp1, 3, QStringLiteral("&About Quillory..."));

    mnuInternet = bar->addMenu(QStringLiteral("&Internet"));
    addItem(mnuInternet, mnuInternet1, 0, QStringLiteral("&Advertisers..."));
    addItem(mnuInternet, mnuInternet1, 1, QStringLiteral("-"));
    addItem(mnuInternet, mnuInternet1, 2, QStringLiteral("&Tallowmere Web Site..."));
    addItem(mnuInternet, mnuInternet1, 3, QStringLiteral("&Upgrade Quillory 98..."));
    mnuInternet->menuAction()->setVisible(false);
    mnuInternet->setEnabled(false);

    // A menu closed with Esc leaves the keys with the menu bar; they go back
    // to where they were, as when no menu had opened.
    for (QMenu *menu : {mnuFile, mnuEdit, mnuView, mnuFormat, mnuWindow, mnuWindow2, mnuHelp, mnuInternet}) {
        connect(menu, &QMenu::aboutToHide, this, [this] {
            QTimer::singleShot(0, this, [this] {
                QWidget *control = Screen::activeControl();
                if (menuBar()->hasFocus() && !QApplication::activePopupWidget() && control && control != menuBar())
                    control->setFocus(Qt::MenuBarFocusReason);
            });
        });
    }
}

void frmMainNote::buildToolbars()
{
    for (int i = 0; i < 3; ++i) {
        picTBContainer[i] = new QWidget(picToolBar);
        picTBContainer[i]->setFixedHeight(Screen::pixelsY(containerHeight));
    }

    Toolbar1 = new Toolbar(picTBContainer[0]);
    addButton(Toolbar1, 1, ToolbarImage::New, QStringLiteral("New"));
    addButton(Toolbar1, 2, ToolbarImage::Open, QStringLiteral("Open"));
    addButton(Toolbar1, 3, ToolbarImage::Save, QStringLiteral("Save"));
    addSeparator(Toolbar1, 4);
    addButton(Toolbar1, 5, ToolbarImage::Print, QStringLiteral("Print"));
    addSeparator(Toolbar1, 6);
    addButton(Toolbar1, 7, ToolbarImage::Cut, QStringLiteral("Cut"));
    addButton(Toolbar1, 8, ToolbarImage::Copy, QStringLiteral("Copy"));
    addButton(Toolbar1, 9, ToolbarImage::Paste, QStringLiteral("Paste"));
    addButton(Toolbar1, 10, ToolbarImage::Delete, QStringLiteral("Delete"));
    addSeparator(Toolbar1, 11);
    addButton(Toolbar1, 12, ToolbarImage::Undo, QStringLiteral("Undo"));
    addButton(Toolbar1, 13, ToolbarImage::Redo, QStringLiteral("Redo"));

    // The font toolbar's buttons only hold the places of the two boxes.
    Toolbar2 = new Toolbar(picTBContainer[1]);
    cboFont = new QComboBox;
    cboFont->setEditable(false);
    cboFont->setToolTip(QStringLiteral("Screen Font"));
    nameComboBox(*cboFont, QStringLiteral("Font"), cboFont->toolTip());
    cboFont->setMinimumContentsLength(18);
    cboFont->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // A toolbar's extension menu cannot take a box: on a narrow band the font
    // box gives up width, down to a quarter, so that the size box stays.
    cboFont->setMinimumWidth(cboFont->minimumSizeHint().width() / 4);
    cboSize = new QComboBox;
    cboSize->setEditable(true);
    // A size typed is the size applied: no entry of the list completes it,
    // and none is added to it.
    cboSize->setCompleter(nullptr);
    cboSize->setInsertPolicy(QComboBox::NoInsert);
    cboSize->setToolTip(QStringLiteral("Screen Font Size"));
    nameComboBox(*cboSize, QStringLiteral("Font Size"), cboSize->toolTip());
    cboSize->setMinimumContentsLength(3);
    cboSize->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboSize->setEditText(QStringLiteral("9"));
    Toolbar2->Buttons.set(1, Toolbar2->addWidget(cboFont));
    addSeparator(Toolbar2, 2);
    Toolbar2->Buttons.set(3, Toolbar2->addWidget(cboSize));

    Toolbar3 = new Toolbar(picTBContainer[2]);
    addButton(Toolbar3, 1, ToolbarImage::Bold, QStringLiteral("Bold"));
    addButton(Toolbar3, 2, ToolbarImage::Italic, QStringLiteral("Italic"));
    addButton(Toolbar3, 3, ToolbarImage::Underline, QStringLiteral("Underline"));
    addSeparator(Toolbar3, 4);
    addButton(Toolbar3, 5, ToolbarImage::TextColor, QStringLiteral("Text Color"));
    addButton(Toolbar3, 6, ToolbarImage::BackColor, QStringLiteral("BackGround Color"));
    addSeparator(Toolbar3, 7);
    addButton(Toolbar3, 8, ToolbarImage::DateTime, QStringLiteral("Insert Date/Time"));
    addSeparator(Toolbar3, 9);
    addButton(Toolbar3, 10, ToolbarImage::Find, QStringLiteral("Find"));

    Toolbar1->setAccessibleName(QStringLiteral("Standard"));
    Toolbar2->setAccessibleName(QStringLiteral("Font"));
    Toolbar3->setAccessibleName(QStringLiteral("Format"));
    for (Toolbar *toolbar : {Toolbar1, Toolbar2, Toolbar3}) {
        toolbar->setIconSize(QSize(16, 16));
        toolbar->setFixedHeight(Screen::pixelsY(containerHeight));
        toolbar->hide();
    }
}

void frmMainNote::buildStatusBar()
{
    using Kind = StatusBar::PanelKind;
    sbStatusBar = new StatusBar;
    sbStatusBar->addPanel(Kind::Text, QStringLiteral("Ready"), QStringLiteral("Postwick Status Bar"));
    sbStatusBar->addPanel(Kind::CapsLock, QStringLiteral("CAPS"), QStringLiteral("Caps Lock"));
    sbStatusBar->addPanel(Kind::NumLock, QStringLiteral("NUM"), QStringLiteral("Num Lock"));
    sbStatusBar->addPanel(Kind::Insert, QStringLiteral("INS"), QStringLiteral("Insert Lock"));
    sbStatusBar->addPanel(Kind::ScrollLock, QStringLiteral("SCRL"), QStringLiteral("Scroll Lock"));
    sbStatusBar->addPanel(Kind::Date, QString(), QStringLiteral("Today's Date"));
    sbStatusBar->addPanel(Kind::Encoding, QString(), QStringLiteral("Encoding"));
    sbStatusBar->setEncodingSource([this] {
        const frmNotePad *document = activeDocument();
        return document && document->Text1 ? document->Text1->fileEncoding() : QString();
    });
    sbStatusBar->addPanel(Kind::Caret, QString(), QStringLiteral("Caret position"));
    sbStatusBar->setCaretSource([this] {
        const frmNotePad *document = activeDocument();
        if (!document || !document->Text1)
            return QString();
        const RichTextBox &text = *document->Text1;
        QString place = QStringLiteral("Ln %1, Col %2").arg(text.cursorLine() + 1).arg(text.cursorColumn() + 1);
        if (text.zoom() != 100)
            place += QStringLiteral("  %1 %").arg(text.zoom());
        return place;
    });
    // The frame may be made narrower than all the panels together.
    sbStatusBar->setMinimumWidth(1);
    setStatusBar(sbStatusBar);
}

void frmMainNote::Show()
{
    if (!m_loaded) {
        m_loaded = true;
        show();
        MDIForm_Load();
        // The frame was disabled while the first document came; its text
        // takes the focus now that it can.
        if (frmNotePad *active = activeDocument(); active && active->Text1)
            active->Text1->setFocus(Qt::OtherFocusReason);
    }
    show();
}

void frmMainNote::MDIForm_Load()
{
    for (Toolbar *toolbar : {Toolbar1, Toolbar2, Toolbar3})
        toolbar->move(-Screen::pixelsX(15), 0);
    MainRebar.TBMakeFlat(Toolbar1, false);
    MainRebar.TBMakeFlat(Toolbar2, false);
    MainRebar.TBMakeFlat(Toolbar3, false);
    MainRebar.setParent(hwnd());
    MainRebar.Create();
    followRebarRows();
    for (int container = 0; container < 3; ++container)
        addBand(container);

    // From here on a step that fails is skipped; none of them reports.
    MainRebar.Resize(this);
    fillFontNames();
    fillFontSizes();
    Registry::LoadRecentFiles();
    Quillo::Documents = {nullptr, nullptr};
    Quillo::DocState = {Quillo::DocumentState(), Quillo::DocumentState()};
    Quillo::Documents[1] = new frmNotePad(*this);
    Quillo::Documents[1]->setTag(QStringLiteral("1"));
    Quillo::Documents[1]->Show();
    Quillo::DocState[1].Modified = false;
    Quillo::DocState[1].WordWrap = false;
    if (frmNotePad *active = activeDocument())
        active->setTag(QStringLiteral("1"));
    tmrPaste.start();
    tmrUndo.start();
    setEnabled(true);
    Toolbar1->show();
    Toolbar2->show();
    Toolbar3->show();
    Screen::setMousePointer(MousePointer::Default);
}

void frmMainNote::followRebarRows()
{
    // Rows the user makes or empties by dragging bands take or give back
    // their room too.
    auto *rebar = qobject_cast<RebarWindow *>(MainRebar.hwnd());
    if (rebar) {
        connect(rebar, &RebarWindow::heightChanged, this, [this, rebar] {
            setPicToolBarHeight(rowHeight * rebar->rowCount());
        });
    }
}

void frmMainNote::addBand(int container)
{
    MainRebar.AddBands(QString(), container, picTBContainer[container], 0, 10);
}

void frmMainNote::fillFontNames()
{
    MenuFormat::SkipComboClick = true;
    QStringList fonts;
    for (int i = 0; i < Screen::fontCount(); ++i)
        fonts.append(Screen::fonts(i));
    fillFontNames(*cboFont, fonts);
}

void frmMainNote::fillFontNames(QComboBox &box, const QStringList &fonts)
{
    // Each name once, compared exactly; a set keeps this linear however many
    // fonts the screen has.
    QSet<QString> listed;
    QStringList names;
    for (const QString &name : fonts) {
        if (!listed.contains(name)) {
            listed.insert(name);
            names.append(name);
        }
    }
    box.addItems(names);
    const int fixedsys = box.findText(QStringLiteral("Fixedsys"), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (fixedsys >= 0)
        box.setCurrentIndex(fixedsys);
}

void frmMainNote::fillFontSizes()
{
    MenuFormat::SkipComboClick = true;
    const QString text = cboSize->currentText();
    cboSize->addItems({QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("10"), QStringLiteral("11"),
                       QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("16"), QStringLiteral("18"),
                       QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("24"), QStringLiteral("26"),
                       QStringLiteral("28"), QStringLiteral("36"), QStringLiteral("48"), QStringLiteral("72")});
    // Filling an empty box selects its first entry; the box keeps its text.
    cboSize->setEditText(text);
    MenuFormat::SkipComboClick = false;
}

frmNotePad *frmMainNote::activeDocument() const
{
    // While the frame itself is being activated the area may name no child
    // for a moment; the child activated last is still the active one.
    QMdiSubWindow *window = m_mdiArea->currentSubWindow();
    if (!window) {
        const QList<QMdiSubWindow *> history = m_mdiArea->subWindowList(QMdiArea::ActivationHistoryOrder);
        window = history.isEmpty() ? nullptr : history.last();
    }
    return qobject_cast<frmNotePad *>(window);
}

int frmMainNote::Width() const
{
    return frameGeometry().width() * Screen::twipsPerPixelX();
}

int frmMainNote::Height() const
{
    return frameGeometry().height() * Screen::twipsPerPixelY();
}

int frmMainNote::ScaleWidth() const
{
    return m_mdiArea->width() * Screen::twipsPerPixelX();
}

int frmMainNote::ScaleHeight() const
{
    return m_mdiArea->height() * Screen::twipsPerPixelY();
}

int frmMainNote::picToolBarHeight() const
{
    return m_picToolBarHeight;
}

void frmMainNote::setPicToolBarHeight(int twips)
{
    m_picToolBarHeight = twips;
    picToolBar->setFixedHeight(Screen::pixelsY(twips));
}

void frmMainNote::closeEvent(QCloseEvent *event)
{
    int Cancel = 0;
    MDIForm_QueryUnload(Cancel, 0);
    if (Cancel) {
        event->ignore();
        return;
    }
    event->accept();
    MDIForm_Unload(Cancel);
}

void frmMainNote::MDIForm_QueryUnload(int &Cancel, int)
{
    if (!Quillo::AnyDocumentOpen())
        return;
    // A prompt cancelled before this close began (closing one document) is
    // no answer to this one.
    Quillo::CloseCancelled = false;
    const int upperBound = int(Quillo::DocState.size()) - 1;
    for (int i = 0; i < upperBound; ++i) {
        if (Quillo::NoDocuments)
            return;
        frmNotePad *active = activeDocument();
        const int slot = active ? active->Tag().toInt() : 0;
        if (active && slot > 0 && slot < Quillo::DocState.size() && !Quillo::DocState[slot].Free)
            active->Unload();
        if (Quillo::CloseCancelled) {
            Cancel = 1;
            Quillo::CloseCancelled = false;
            return;
        }
    }
}

void frmMainNote::MDIForm_Unload(int &)
{
    unloadBackground();
    EndProgram();
}

void frmMainNote::dragEnterEvent(QDragEnterEvent *event)
{
    // Copied, never moved: the file manager keeps its files.
    if (event->possibleActions().testFlag(Qt::CopyAction) && !droppedFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void frmMainNote::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty() || !event->possibleActions().testFlag(Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    activateWindow();
    // Opened once the drop is over, so that the file manager does not wait
    // on a long read or a message.
    QTimer::singleShot(0, this, [files] { MenuFile::OpenFiles(files); });
}

void frmMainNote::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_loaded)
        MDIForm_Resize();
}

void frmMainNote::MDIForm_Resize()
{
    if (Width() > 3515) {
        for (Toolbar *toolbar : {Toolbar1, Toolbar2, Toolbar3})
            toolbar->setGivenWidth(Screen::pixelsX(Width() - 110));
    }
    MainRebar.Resize(this);
    if (Quillo::NoDocuments)
        showBackground();
}

QAction *frmMainNote::standardButton(int index) const
{
    return Toolbar1->Buttons[index];
}

QString frmMainNote::fontNameShown() const
{
    return cboFont->currentText();
}

QString frmMainNote::fontSizeShown() const
{
    return cboSize->currentText();
}

void frmMainNote::showWindowMenu(bool documentsOpen)
{
    mnuWindow->menuAction()->setVisible(documentsOpen);
    mnuWindow2->menuAction()->setVisible(!documentsOpen);
}

void frmMainNote::refreshStatusBar()
{
    sbStatusBar->refresh();
}

void frmMainNote::forgetActivation(const frmNotePad *document)
{
    if (m_activated == document)
        m_activated = nullptr;
}

void frmMainNote::showBackground()
{
    if (!m_background)
        m_background = new frmBackground(m_mdiArea->viewport());
    const int left = (ScaleWidth() - m_background->Width()) / 2;
    const int top = (ScaleHeight() - m_background->Height()) / 2;
    m_background->move(left / Screen::twipsPerPixelX(), top / Screen::twipsPerPixelY());
    m_background->show();
}

void frmMainNote::unloadBackground()
{
    delete m_background;
    m_background = nullptr;
}

void frmMainNote::mnuView_Click()
{
    if (Quillo::NoDocuments)
        return;
    const frmNotePad *active = activeDocument();
    const int slot = active ? active->Tag().toInt() : 0;
    if (slot > 0 && slot < Quillo::DocState.size())
        mnuView1[5]->setChecked(Quillo::DocState[slot].WordWrap);
}

void frmMainNote::mnuView1_Click(int Index)
{
    QAction *item = mnuView1[Index];
    switch (Index) {
    case 0:
        ToggleToolbar(0, 1, 2);
        item->setChecked(!item->isChecked());
        break;
    case 1:
        ToggleToolbar(1, 0, 2);
        item->setChecked(!item->isChecked());
        break;
    case 2:
        ToggleToolbar(2, 0, 1);
        item->setChecked(!item->isChecked());
        break;
    case 4:
        item->setChecked(!item->isChecked());
        sbStatusBar->setVisible(item->isChecked());
        break;
    case 5: {
        item->setChecked(!item->isChecked());
        frmNotePad *active = activeDocument();
        if (!active || !active->Text1)
            break;
        const int slot = active->Tag().toInt();
        (void)active->Text1->setRightMargin(item->isChecked() ? 0 : noWrap);
        if (slot > 0 && slot < Quillo::DocState.size())
            Quillo::DocState[slot].WordWrap = item->isChecked();
        break;
    }
    default:
        break;
    }
}

void frmMainNote::ToggleToolbar(int t, int a, int b)
{
    const bool A = mnuView1[a]->isChecked();
    const bool B = mnuView1[b]->isChecked();
    const auto removeBands = [this](int count) {
        for (int i = 0; i < count; ++i)
            MainRebar.RemoveBands(0);
    };
    if (mnuView1[t]->isChecked()) {
        // Hiding toolbar t: the bands of the other shown ones are rebuilt.
        if (A && B) {
            removeBands(3);
            addBand(a);
            addBand(b);
            setPicToolBarHeight(2 * rowHeight);
        } else if (A || B) {
            removeBands(2);
            addBand(A ? a : b);
            setPicToolBarHeight(rowHeight);
        } else {
            removeBands(1);
            MainRebar.Move(0, -2000, 0, 0);
            setPicToolBarHeight(0);
        }
        return;
    }
    // Showing toolbar t: a new rebar window takes the bands, in the order of
    // the toolbars' numbers. The old window, out of sight, is destroyed
    // rather than kept.
    MainRebar.Move(0, 2000, 0, 0);
    if (A && B) {
        removeBands(1);
        MainRebar.DestroyRebar();
        MainRebar.Create();
        followRebarRows();
        addBand(0);
        addBand(1);
        addBand(2);
        setPicToolBarHeight(3 * rowHeight);
    } else if (A || B) {
        const int other = A ? a : b;
        removeBands(1);
        MainRebar.DestroyRebar();
        MainRebar.Create();
        followRebarRows();
        addBand(qMin(t, other));
        addBand(qMax(t, other));
        setPicToolBarHeight(2 * rowHeight);
    } else {
        MainRebar.DestroyRebar();
        MainRebar.Create();
        followRebarRows();
        addBand(t);
        setPicToolBarHeight(rowHeight);
    }
    MainRebar.Resize(this);
}

void frmMainNote::subWindowActivated(QMdiSubWindow *window)
{
    // The frame reports its own activation too; a document is activated
    // only when it becomes the active one.
    documentActivated(qobject_cast<frmNotePad *>(window));
    // Another document's caret, or none once the last one has gone.
    sbStatusBar->caretMoved();
}

void frmMainNote::documentActivated(frmNotePad *document)
{
    if (!document || document == m_activated)
        return;
    m_activated = document;
    // Its caret, its text and its zoom show in the caret panel from now on.
    if (RichTextBox *text = document->Text1) {
        for (auto change : {&TextView::cursorPositionChanged, &TextView::textChanged})
            connect(text, change, sbStatusBar, &StatusBar::caretMoved, Qt::UniqueConnection);
        connect(text, &TextView::zoomChanged, sbStatusBar, &StatusBar::caretMoved, Qt::UniqueConnection);
    }
    document->Form_Activate();
    sbStatusBar->refresh();
    // Typing goes into the document that has just come forward.
    if (document->Text1)
        document->Text1->setFocus(Qt::OtherFocusReason);
}

void frmMainNote::placeNewDocument(frmNotePad *document)
{
    document->setGeometry(NewWindowPlace(*m_mdiArea, *document));
}

void frmMainNote::fillWindowList()
{
    m_windowList->fill();
}
