#pragma once

class QAction;
class QMdiArea;
class QString;
class QTimer;
class QWidget;
class frmNotePad;

// What a document window needs of the frame that holds it. The frame
// implements it, and a document window knows the frame only through it.
class DocumentHost
{
public:
    // The frame's window, parent of the document windows, and the area they
    // are shown in.
    virtual QWidget *hostWindow() = 0;
    virtual QMdiArea *mdiArea() const = 0;
    // The Edit menu's items and the standard toolbar's buttons, by index.
    virtual QAction *editItem(int index) const = 0;
    virtual QAction *standardButton(int index) const = 0;
    virtual QTimer &pasteTimer() = 0;
    virtual QTimer &undoTimer() = 0;
    virtual void showUndoState() = 0;
    // The font name and size that the font toolbar shows.
    virtual QString fontNameShown() const = 0;
    virtual QString fontSizeShown() const = 0;
    // Which of the two Window menus stands in the menu bar: the one with the
    // documents' list while there are documents.
    virtual void showWindowMenu(bool documentsOpen) = 0;
    virtual void showBackground() = 0;
    virtual void unloadBackground() = 0;
    // The frame's active child window.
    virtual frmNotePad *activeDocument() const = 0;
    virtual void placeNewDocument(frmNotePad *document) = 0;
    virtual void documentActivated(frmNotePad *document) = 0;
    virtual void forgetActivation(const frmNotePad *document) = 0;
    // The status bar shows the key states, the insert mode among them, again.
    virtual void refreshStatusBar() = 0;

protected:
    ~DocumentHost() = default;
};
