#pragma once

#include "document/documenthost.h"
#include "shell/actionarray.h"
#include "toolbars/crebar.h"

#include <QMainWindow>
#include <QTimer>

class QComboBox;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class StatusBar;
class WindowList;
class frmBackground;
class frmNotePad;

// The frame: the menu bar, three toolbars in the bands of a rebar, the
// document windows and the status bar.
class frmMainNote : public QMainWindow, public DocumentHost
{
    Q_OBJECT

public:
    explicit frmMainNote(QWidget *parent = nullptr);
    ~frmMainNote() override;

    // Loads the frame when it is not loaded yet, then shows it.
    void Show();

    // The client area that child windows such as the rebar are placed in.
    QWidget *hwnd() const { return m_client; }
    QMdiArea *mdiArea() const override { return m_mdiArea; }
    // The frame's active child window.
    frmNotePad *activeDocument() const override;
    // The active document's caption, or empty.
    QString activeCaption() const;
    // The frame's outer width and height, in twips.
    int Width() const;
    int Height() const;
    // The height of the client area below the toolbar rows, in twips.
    int ScaleWidth() const;
    int ScaleHeight() const;

    // picToolBar reserves the rebar's rows at the top of the client area.
    int picToolBarHeight() const; // twips
    void setPicToolBarHeight(int twips);

    void setDocumentCommandsEnabled(bool enabled);

    // What a document window asks of the frame.
    QWidget *hostWindow() override { return this; }
    QAction *editItem(int index) const override { return mnuEdit1[index]; }
    QAction *standardButton(int index) const override;
    QTimer &pasteTimer() override { return tmrPaste; }
    QTimer &undoTimer() override { return tmrUndo; }
    QString fontNameShown() const override;
    QString fontSizeShown() const override;
    void showWindowMenu(bool documentsOpen) override;
    void refreshStatusBar() override;
    // Where a document window that is shown for the first time goes.
    void placeNewDocument(frmNotePad *document) override;
    // Runs a document's activation when it becomes the active child; once,
    // however often the area reports it.
    void documentActivated(frmNotePad *document) override;
    // A document window that goes is activated afresh when it comes back.
    void forgetActivation(const frmNotePad *document) override;
    void showBackground() override;
    void unloadBackground() override;
    frmBackground *background() const { return m_background; }

    // Lists each font name once, in the screen's order, and chooses
    // "Fixedsys".
    static void fillFontNames(QComboBox &box, const QStringList &fonts);

    void mnuView_Click();
    void mnuView1_Click(int Index);

    // Every menu item, toolbar button and font box reaches its command
    // through these.
    void mnuFile1_Click(int Index);
    void mnuEdit1_Click(int Index);
    void mnuWindow1_Click(int Index);
    void mnuHelp1_Click(int Index);
    void mnuInternet1_Click(int Index);
    void Toolbar1_ButtonClick(int Button);
    void Toolbar3_ButtonClick(int Button);
    void cboFont_Click();
    void cboFont_KeyPress(int &KeyAscii);
    void cboFont_LostFocus();
    void cboSize_Click();
    void cboSize_KeyPress(int &KeyAscii);
    void cboSize_LostFocus();

    // Keep Undo and Redo in step with the focused control, and Paste with
    // the clipboard.
    void tmrUndo_Timer();
    void tmrPaste_Timer();
    // Undo and Redo, items and buttons, show what the next EM_UNDO to the
    // focused control does: Undo when it takes back the last change, Redo
    // when it puts back the change just undone.
    void showUndoState() override;

    QMenu *mnuFile = nullptr;
    QMenu *mnuEdit = nullptr;
    QMenu *mnuView = nullptr;
    QMenu *mnuFormat = nullptr;
    QMenu *mnuWindow = nullptr;
    QMenu *mnuWindow2 = nullptr;
    QMenu *mnuHelp = nullptr;
    QMenu *mnuInternet = nullptr;
    ActionArray mnuFile1;
    ActionArray mnuEdit1;
    ActionArray mnuView1;
    ActionArray mnuFormat1;
    ActionArray mnuWindow1;
    ActionArray mnuWindow3;
    ActionArray mnuHelp1;
    ActionArray mnuInternet1;

    QWidget *picToolBar = nullptr;
    QWidget *picTBContainer[3] = {};
    Toolbar *Toolbar1 = nullptr;
    Toolbar *Toolbar2 = nullptr;
    Toolbar *Toolbar3 = nullptr;
    QComboBox *cboFont = nullptr;
    QComboBox *cboSize = nullptr;
    StatusBar *sbStatusBar = nullptr;
    QTimer tmrPaste;
    QTimer tmrUndo;
    CRebar MainRebar;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Files dropped from a file manager anywhere on the frame, a document's
    // text included, open each in a window of its own, as File > Open opens them.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenus();
    void buildToolbars();
    void buildStatusBar();
    void connectCommands();
    void MDIForm_Load();
    void MDIForm_QueryUnload(int &Cancel, int UnloadMode);
    void MDIForm_Unload(int &Cancel);
    void MDIForm_Resize();
    void ToggleToolbar(int t, int a, int b);
    void followRebarRows();
    void addBand(int container);
    void fillFontNames();
    void fillFontSizes();
    void subWindowActivated(QMdiSubWindow *window);
    // The document step places after the active one, in the order they were
    // opened, round the end.
    void activateNextDocument(int step);
    void fillWindowList();
    // The keys go to the active document's text.
    void giveKeysToDocument();

    QWidget *m_client = nullptr;
    QMdiArea *m_mdiArea = nullptr;
    frmBackground *m_background = nullptr;
    int m_picToolBarHeight = 0; // twips, as set; the widget has whole pixels
    WindowList *m_windowList = nullptr;
    frmNotePad *m_activated = nullptr;
    bool m_loaded = false;
    // A font box's list has closed, in the event that closed it: a choice
    // made in it, if any, comes now.
    bool m_listJustClosed = false;
};
