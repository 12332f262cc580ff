#pragma once

#include <QMdiSubWindow>

class DocumentDraft;
class DocumentHost;
class RichTextBox;
class WatchedFile;

// A document window: one per open document, a child window of the frame,
// holding the edit control Text1. Its Tag is its slot in the document
// tables; its caption is the document's identity. The object outlives the
// window: unloading takes the window away, and setting Tag again loads a
// fresh one with the design's controls.
class frmNotePad : public QMdiSubWindow
{
    Q_OBJECT

public:
    explicit frmNotePad(DocumentHost &host);
    ~frmNotePad() override;

    QString Tag() const { return m_tag; }
    // Loads the window first when it is not loaded.
    void setTag(const QString &tag);
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // The files the document was opened from or last saved to, main first;
    // the main one, as it is on disk now, is watched from now on.
    void setFilePaths(const QStringList &paths);
    const QStringList &filePaths() const { return m_filePaths; }
    WatchedFile &watchedFile() { return *m_watchedFile; }
    // The files a path list names: the ones kept while it is the list they
    // were saved under (a file's own name may hold "; "), else its pieces.
    QStringList pathsOf(const QString &list) const;
    bool isLoaded() const { return Text1 != nullptr; }
    // Shows the window in the frame (loading it first when needed).
    void Show();
    // The close prompt, then the unload; false when the user cancelled.
    bool Unload();

    // Part of the frame's activation of its child windows.
    void Form_Activate();

    RichTextBox *Text1 = nullptr;
    // The unsaved text kept on disk while the document has any.
    DocumentDraft &draft() const { return *m_draft; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    int slot() const { return m_tag.toInt(); }
    void Load();
    void Form_Load();
    void Form_QueryUnload(int &Cancel, int UnloadMode);
    void Form_Unload(int &Cancel);
    void Text1_Change();
    void Text1_KeyDown(int &KeyCode, int Shift);
    void Text1_KeyUp(int &KeyCode, int Shift);
    void Text1_LostFocus();
    void Text1_ContextMenu(const QPoint &position);

    DocumentHost &m_host;
    QString m_tag;
    QString m_caption;
    QStringList m_filePaths;
    DocumentDraft *m_draft = nullptr;
    WatchedFile *m_watchedFile;
};
