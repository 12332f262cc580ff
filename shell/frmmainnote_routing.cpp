// The frame's command routing: which command each menu item, toolbar button
// and font box event reaches, and the set of commands that need a document.

#include "document/frmnotepad.h"
#include "document/menuedit.h"
#include "files/menufile.h"
#include "files/registry.h"
#include "platform/error.h"
#include "platform/help.h"
#include "platform/mdiarrange.h"
#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/program.h"
#include "platform/richtextbox.h"
#include "printing/frmprintdlg.h"
#include "shell/frmabout.h"
#include "shell/frmmainnote.h"
#include "toolbars/menuformat.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMdiArea>

namespace {

constexpr int enterKey = 13;

void connectItems(const ActionArray &items, QObject *receiver, const std::function<void(int)> &handler)
{
    for (int index : items.indices()) {
        QAction *item = items[index];
        if (!item->isSeparator())
            QObject::connect(item, &QAction::triggered, receiver, [handler, index] { handler(index); });
    }
}

} // namespace

void frmMainNote::connectCommands()
{
    connectItems(mnuFile1, this, [this](int index) { mnuFile1_Click(index); });
    connectItems(mnuEdit1, this, [this](int index) { mnuEdit1_Click(index); });
    connectItems(mnuWindow1, this, [this](int index) { mnuWindow1_Click(index); });
    connectItems(mnuHelp1, this, [this](int index) { mnuHelp1_Click(index); });
    connectItems(mnuInternet1, this, [this](int index) { mnuInternet1_Click(index); });
    connectItems(Toolbar1->Buttons, this, [this](int button) { Toolbar1_ButtonClick(button); });
    connectItems(Toolbar3->Buttons, this, [this](int button) { Toolbar3_ButtonClick(button); });
    // A choice from the list, by mouse or by key, is a Click. One made in the
    // open list, which closes as it is chosen, is done with: typing goes on
    // in the document, as after Enter in the box itself.
    connect(cboFont, &QComboBox::activated, this, [this] {
        cboFont_Click();
        if (m_listJustClosed)
            giveKeysToDocument();
    });
    connect(cboSize, &QComboBox::activated, this, [this] {
        cboSize_Click();
        if (m_listJustClosed)
            giveKeysToDocument();
    });
    for (QComboBox *box : {cboFont, cboSize}) {
        box->installEventFilter(this);
        box->view()->installEventFilter(this);
    }
    connect(&tmrUndo, &QTimer::timeout, this, &frmMainNote::tmrUndo_Timer);
    connect(&tmrPaste, &QTimer::timeout, this, &frmMainNote::tmrPaste_Timer);

    // The document keys of every multiple-document window.
    const auto addKey = [this](QKeyCombination key, const std::function<void()> &command) {
        auto *action = new QAction(this);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, command);
        addAction(action);
    };
    addKey(Qt::CTRL | Qt::Key_F4, [this] {
        if (frmNotePad *active = activeDocument())
            active->Unload();
    });
    addKey(Qt::CTRL | Qt::Key_F6, [this] { activateNextDocument(1); });
    addKey(Qt::CTRL | Qt::SHIFT | Qt::Key_F6, [this] { activateNextDocument(-1); });
}

void frmMainNote::activateNextDocument(int step)
{
    QList<QMdiSubWindow *> shown = m_mdiArea->subWindowList(QMdiArea::CreationOrder);
    shown.removeIf([](const QMdiSubWindow *window) { return !window->isVisible(); });
    const qsizetype count = shown.size();
    if (count < 2)
        return;
    const qsizetype at = shown.indexOf(m_mdiArea->currentSubWindow());
    ActivateSubWindow(*m_mdiArea, *shown[((at < 0 ? 0 : at + step) % count + count) % count]);
}

void frmMainNote::mnuFile1_Click(int Index)
{
    switch (Index) {
    case 0:
        MenuFile::FileNew();
        break;
    case 1:
        MenuFile::FileOpen();
        break;
    case 2:
        if (frmNotePad *active = activeDocument())
            active->Unload();
        break;
    case 4:
        MenuFile::FileSave(activeCaption());
        break;
    case 5:
        MenuFile::FileSaveAs(activeCaption());
        break;
    case 7: {
        frmPrintDlg dialog(this);
        ShowModal(dialog);
        break;
    }
    case 11:
    case 12:
    case 13:
    case 14:
    case 15: {
        const QString path = Caption(mnuFile1[Index]).mid(5);
        MenuFile::OpenFile(path, Registry::RecentEncoding(Index - 10));
        Registry::AddRecentFile(path);
        break;
    }
    case 17:
        close();
        break;
    default:
        break;
    }
}

QString frmMainNote::activeCaption() const
{
    const frmNotePad *active = activeDocument();
    return active ? active->Caption() : QString();
}

void frmMainNote::mnuEdit1_Click(int Index)
{
    switch (Index) {
    case 0:
    case 1:
        MenuEdit::EditUndo();
        break;
    case 3:
        MenuEdit::EditCut();
        break;
    case 4:
        MenuEdit::EditCopy();
        break;
    case 5:
        MenuEdit::EditPaste();
        break;
    case 6:
        MenuEdit::EditDelete();
        break;
    case 8:
        MenuEdit::EditFind();
        break;
    case 9:
        if (MenuEdit::FindWhat[0].isEmpty())
            MenuEdit::EditFind();
        else
            MenuEdit::EditFindNext();
        break;
    case 11:
        MenuEdit::EditSelectAll();
        break;
    case 12:
        MenuEdit::EditInsertDateTime();
        break;
    case 14:
        MenuEdit::EditReplace();
        break;
    case 15:
        MenuEdit::EditGoTo();
        break;
    default:
        break;
    }
}

void frmMainNote::mnuWindow1_Click(int Index)
{
    Arrange(*mdiArea(), Index);
}

void frmMainNote::mnuHelp1_Click(int Index)
{
    if (Index == 0 || Index == 1) {
        if (App::HelpFile.isEmpty()) {
            MsgBox(QStringLiteral("Unable to display Help Contents. There is no Help associated with this project."),
                   MsgBoxStyle::Information, windowTitle());
            return;
        }
        ErrorTrap trap;
        trap.run([&] { return WinHelpA(this, App::HelpFile, Index == 0 ? HELP_CONTENTS : HELP_PARTIALKEY); });
        if (trap.failed())
            MsgBox(trap.firstError().description);
    } else if (Index == 3) {
        frmAbout about(this);
        ShowModal(about);
    }
}

void frmMainNote::mnuInternet1_Click(int)
{
}

void frmMainNote::Toolbar1_ButtonClick(int Button)
{
    switch (Button) {
    case 1:
        MenuFile::FileNew();
        break;
    case 2:
        MenuFile::FileOpen();
        break;
    case 3:
        MenuFile::FileSave(activeCaption());
        break;
    case 5:
        // The same Print dialog as File > Print.
        mnuFile1_Click(7);
        break;
    case 7:
        MenuEdit::EditCut();
        break;
    case 8:
        MenuEdit::EditCopy();
        break;
    case 9:
        MenuEdit::EditPaste();
        break;
    case 10:
        MenuEdit::EditDelete();
        break;
    case 12:
    case 13:
        MenuEdit::EditUndo();
        break;
    default:
        break;
    }
}

void frmMainNote::Toolbar3_ButtonClick(int Button)
{
    switch (Button) {
    case 1:
        MenuFormat::FormatBold();
        break;
    case 2:
        MenuFormat::FormatItalic();
        break;
    case 3:
        MenuFormat::FormatUnderline();
        break;
    case 5:
        MenuFormat::FormatTextColor();
        break;
    case 6:
        MenuFormat::FormatBackColor();
        break;
    case 8:
        MenuEdit::EditInsertDateTime();
        break;
    case 10:
        MenuEdit::EditFind();
        break;
    default:
        break;
    }
}

void frmMainNote::cboFont_Click()
{
    if (!MenuFormat::SkipComboClick)
        MenuFormat::FormatFontName();
    MenuFormat::SkipComboClick = false;
}

void frmMainNote::cboFont_KeyPress(int &KeyAscii)
{
    if (KeyAscii == enterKey)
        MenuFormat::FormatFontName();
}

void frmMainNote::cboFont_LostFocus()
{
    MenuFormat::FormatFontName();
}

void frmMainNote::cboSize_Click()
{
    if (!MenuFormat::SkipComboClick)
        MenuFormat::FormatFontSize();
    MenuFormat::SkipComboClick = false;
}

void frmMainNote::cboSize_KeyPress(int &KeyAscii)
{
    if (KeyAscii == enterKey)
        MenuFormat::FormatFontSize();
}

void frmMainNote::cboSize_LostFocus()
{
    MenuFormat::FormatFontSize();
}

void frmMainNote::giveKeysToDocument()
{
    if (frmNotePad *active = activeDocument(); active && active->Text1)
        active->Text1->setFocus(Qt::OtherFocusReason);
}

bool frmMainNote::eventFilter(QObject *watched, QEvent *event)
{
    const auto isEnter = [event] {
        return event->type() == QEvent::KeyPress && (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return
                                                     || static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter);
    };
    if ((watched == cboFont->view() || watched == cboSize->view()) && event->type() == QEvent::Hide) {
        m_listJustClosed = true;
        QTimer::singleShot(0, this, [this] { m_listJustClosed = false; });
    }
    if (watched != cboFont && watched != cboSize)
        return QMainWindow::eventFilter(watched, event);
    const bool font = watched == cboFont;
    if (isEnter()) {
        int KeyAscii = enterKey;
        font ? cboFont_KeyPress(KeyAscii) : cboSize_KeyPress(KeyAscii);
        // Set, the font is done with: typing goes on in the document.
        giveKeysToDocument();
    } else if (event->type() == QEvent::FocusOut) {
        // The box's own list taking the focus is no leaving of the box.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            font ? cboFont_LostFocus() : cboSize_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMainNote::setDocumentCommandsEnabled(bool enabled)
{
    for (int index : {0, 3, 4, 5, 6, 8, 9, 11, 12, 14, 15})
        mnuEdit1[index]->setEnabled(enabled);
    for (int index : {2, 4, 5, 7})
        mnuFile1[index]->setEnabled(enabled);
    mnuView1[5]->setEnabled(enabled);
    for (int index = 0; index <= 3; ++index)
        mnuWindow1[index]->setEnabled(enabled);
    cboFont->setEnabled(enabled);
    cboSize->setEnabled(enabled);
    for (int index : {3, 5, 7, 8, 9, 10, 12})
        Toolbar1->Buttons[index]->setEnabled(enabled);
    for (int index : {8, 10})
        Toolbar3->Buttons[index]->setEnabled(enabled);
}
