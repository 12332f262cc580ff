#include "document/frmnotepad.h"

#include "document/documenthost.h"
#include "document/draft.h"
#include "document/menuedit.h"
#include "document/watchedfile.h"
#include "files/frmsavedlg.h"
#include "files/menufile.h"
#include "files/registry.h"
#include "platform/modal.h"
#include "platform/keys.h"
#include "platform/mdiarrange.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "shell/quillo.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QTimer>

namespace {

constexpr int noWrap = 65535;

} // namespace

frmNotePad::frmNotePad(DocumentHost &host)
    : QMdiSubWindow(host.hostWindow())
    , m_host(host)
    , m_draft(new DocumentDraft(*this))
    , m_watchedFile(new WatchedFile(*this, host))
{
    hide();
    setWindowIcon(host.hostWindow()->windowIcon());
    // Ctrl+F4 is the frame's, for whichever document is active; each
    // window's system menu only shows it.
    if (QMenu *menu = systemMenu()) {
        for (QAction *item : menu->actions())
            item->setShortcutContext(Qt::WidgetShortcut);
    }
}

frmNotePad::~frmNotePad()
{
    // The edit control's last events reach a whole window.
    delete Text1;
}

void frmNotePad::setTag(const QString &tag)
{
    if (!isLoaded())
        Load();
    m_tag = tag;
}

void frmNotePad::setCaption(const QString &caption)
{
    m_caption = caption;
    // "[*]" in a title is Qt's mark for unsaved changes; a path may hold it.
    QString title = caption;
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(title);
    // A reader names the text by its window.
    if (Text1)
        Text1->setAccessibleName(caption);
}

void frmNotePad::setFilePaths(const QStringList &paths)
{
    m_filePaths = paths;
    m_watchedFile->setPath(paths.value(0));
}

QStringList frmNotePad::pathsOf(const QString &list) const
{
    if (!m_filePaths.isEmpty() && list == m_caption && m_filePaths.join(QStringLiteral("; ")) == list)
        return m_filePaths;
    return MenuFile::SplitPathList(list);
}

void frmNotePad::Load()
{
    Text1 = new RichTextBox;
    Text1->setFrameShape(QFrame::NoFrame);
    Text1->setFontName(QStringLiteral("Fixedsys"));
    (void)Text1->setFontSize(9);
    (void)Text1->setRightMargin(noWrap);
    // A match that Find selects stays in sight while the Find dialog has
    // the focus.
    Text1->setHideSelection(false);
    setWidget(Text1);
    connect(Text1, &RichTextBox::Change, this, &frmNotePad::Text1_Change);
    connect(Text1, &RichTextBox::KeyDown, this, &frmNotePad::Text1_KeyDown);
    connect(Text1, &RichTextBox::KeyUp, this, &frmNotePad::Text1_KeyUp);
    connect(Text1, &RichTextBox::LostFocus, this, &frmNotePad::Text1_LostFocus);
    connect(Text1, &RichTextBox::overwriteModeChanged, this, [this] { m_host.refreshStatusBar(); });
    Text1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Text1, &QWidget::customContextMenuRequested, this, &frmNotePad::Text1_ContextMenu);
    setCaption(QStringLiteral("Untitled1"));
    m_host.mdiArea()->addSubWindow(this);
    Form_Load();
}

void frmNotePad::Show()
{
    if (!isLoaded())
        Load();
    if (!isVisible())
        m_host.placeNewDocument(this);
    ActivateSubWindow(*m_host.mdiArea(), *this);
    // The area reports activations only while the frame is the active
    // window; a window shown is activated all the same.
    m_host.documentActivated(this);
}

bool frmNotePad::Unload()
{
    if (!isLoaded())
        return true;
    int Cancel = 0;
    Form_QueryUnload(Cancel, 0);
    if (Cancel)
        return false;
    Form_Unload(Cancel);
    // The object's next document has files of its own, or none.
    setFilePaths({});
    m_host.mdiArea()->removeSubWindow(this);
    m_host.forgetActivation(this);
    // Back with the frame, out of sight, until its slot is used again.
    setParent(m_host.hostWindow());
    hide();
    RichTextBox *text = Text1;
    Text1 = nullptr;
    setWidget(nullptr);
    delete text;
    return true;
}

void frmNotePad::closeEvent(QCloseEvent *event)
{
    event->ignore();
    Unload();
}

void frmNotePad::Form_Load()
{
    if (!Quillo::NoDocuments)
        return;
    Quillo::EnableDocumentCommands();
    Quillo::NoDocuments = false;
    m_host.unloadBackground();
    m_host.pasteTimer().start();
    m_host.undoTimer().start();
    m_host.showWindowMenu(true);
}

void frmNotePad::Form_Activate()
{
    RichTextBox *text = Text1;
    if (!text)
        return;
    text->setFontName(m_host.fontNameShown());
    // A size box that holds no number keeps the size the document has.
    bool isNumber = false;
    const double size = m_host.fontSizeShown().toDouble(&isNumber);
    if (isNumber)
        (void)text->setFontSize(size);
    const int index = slot();
    const bool wrap = index > 0 && index < Quillo::DocState.size() && Quillo::DocState[index].WordWrap;
    (void)text->setRightMargin(wrap ? 0 : noWrap);

    SendMessageA(text->hwnd(), EM_EMPTYUNDOBUFFER);
    m_host.editItem(0)->setEnabled(false);
    m_host.editItem(1)->setEnabled(false);
    m_host.standardButton(12)->setEnabled(false);
    m_host.standardButton(13)->setEnabled(false);
    m_host.undoTimer().start();
    m_watchedFile->documentActivated();
}

void frmNotePad::Form_QueryUnload(int &Cancel, int)
{
    if (Text1)
        SendMessageA(Text1->hwnd(), EM_EMPTYUNDOBUFFER);
    const int index = slot();
    if (index <= 0 || index >= Quillo::DocState.size() || !Quillo::DocState[index].Modified)
        return;
    const QString message = QStringLiteral("Text in [") + m_caption + QStringLiteral("] has been modified.\r\n")
                            + QStringLiteral("Do you want to save the changes?");
    const bool untitled = MenuFile::IsUntitled(m_caption);
    bool saved = true;
    switch (MsgBox(message, MsgBoxStyle::YesNoCancel | MsgBoxStyle::Exclamation, m_caption)) {
    case MsgBoxAnswer::No:
        Cancel = 0;
        Quillo::CloseCancelled = false;
        break;
    case MsgBoxAnswer::Yes:
        if (untitled) {
            frmSaveDlg dialog(*this, m_host.hostWindow());
            // Proposed as File > Save proposes it.
            dialog.Filename->setText(m_caption);
            ShowModal(dialog);
            saved = !MenuFile::SelectedFile.isEmpty();
            MenuFile::SelectedFile.clear();
        } else {
            MenuFile::SaveDocument(*this, m_caption);
        }
        // A save that was cancelled, or that left the text unwritten
        // somewhere, keeps the window open: closing would lose it.
        if (saved && !Quillo::DocState[index].Modified) {
            if (untitled) {
                Cancel = 0;
                Quillo::CloseCancelled = false;
            }
            break;
        }
        Cancel = 1;
        Quillo::CloseCancelled = true;
        break;
    default:
        Cancel = 1;
        Quillo::CloseCancelled = true;
        break;
    }
}

void frmNotePad::Form_Unload(int &)
{
    const int index = slot();
    if (index > 0 && index < Quillo::DocState.size())
        Quillo::DocState[index].Free = true;
    m_draft->discard();
    if (Quillo::AnyDocumentOpen())
        return;
    m_host.undoTimer().stop();
    m_host.pasteTimer().stop();
    m_host.showWindowMenu(false);
    Quillo::DisableDocumentCommands();
    Quillo::NoDocuments = true;
    Registry::LoadRecentFiles();
    m_host.showBackground();
}

void frmNotePad::Text1_Change()
{
    const int index = slot();
    if (index > 0 && index < Quillo::DocState.size())
        Quillo::DocState[index].Modified = true;
    m_draft->textChanged();
    // A change after an undo is the one the next Undo takes back.
    if (Screen::activeControl() == Text1)
        m_host.showUndoState();
}

void frmNotePad::Text1_KeyDown(int &KeyCode, int Shift)
{
    // Ctrl may have gone up in another window (a dialog that Ctrl+F opened
    // took its release): the key's own state says whether it is down now.
    MenuEdit::CtrlDown = (Shift & ShiftState::Ctrl) != 0;
    if (KeyCode == VirtualKey::Control)
        MenuEdit::CtrlDown = true;
    // The control pastes (cuts) at once; the flag keeps the same key's menu
    // shortcut from doing it again. A disabled item's shortcut never comes,
    // and would leave the flag for the next Paste (Cut) to trip over.
    else if (KeyCode == 'V' && MenuEdit::CtrlDown && m_host.editItem(5)->isEnabled())
        MenuEdit::PasteAllowed = false;
    else if (KeyCode == 'X' && MenuEdit::CtrlDown && m_host.editItem(3)->isEnabled())
        MenuEdit::CutAllowed = false;
    else if (KeyCode == 'Z' && MenuEdit::CtrlDown) {
        SendMessageA(Screen::activeControl(), EM_UNDO);
        m_host.showUndoState();
    }
}

void frmNotePad::Text1_KeyUp(int &KeyCode, int)
{
    if (KeyCode == VirtualKey::Control)
        MenuEdit::CtrlDown = false;
}

void frmNotePad::Text1_ContextMenu(const QPoint &position)
{
    // The Edit menu's own items: the same commands, enabled as they are there.
    QMenu menu;
    for (int index : {0, 1, 2, 3, 4, 5, 6, 10, 11}) {
        QAction *item = m_host.editItem(index);
        if (item->isSeparator())
            menu.addSeparator();
        else
            menu.addAction(item);
    }
    menu.exec(Text1->viewport()->mapToGlobal(position));
}

void frmNotePad::Text1_LostFocus()
{
    m_host.undoTimer().start();
}
