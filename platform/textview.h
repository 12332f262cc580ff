#pragma once

#include "platform/textstore.h"

#include <QAbstractScrollArea>

#include <memory>

class QMimeData;
class TextLayoutCache;

// Shows and edits a TextStore: lays out and paints only the lines in sight,
// and of a very long line only the part in sight, so that a file of any size
// or a line of megabytes opens and types at once.
//
// It has a caret and a selection (keys, mouse, Shift, Ctrl, double-click
// words), overwrite mode, the clipboard, drag and drop of text, input
// methods, wrapping at the window's edge, a selection that can hide while the
// view has no focus, and gives screen readers its text, caret and selection.
//
// Positions are the store's: a line break counts one.
class TextView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TextView(QWidget *parent = nullptr);
    ~TextView() override;

    TextStore &store() { return m_store; }
    const TextStore &store() const { return m_store; }

    // The line end that line breaks made by typing or pasting take.
    LineEnd newLineEnd() const { return m_newLineEnd; }
    void setNewLineEnd(LineEnd lineEnd) { m_newLineEnd = lineEnd; }

    // To be called after the store's text was replaced wholesale (loaded):
    // the caret goes to the start, the view to the top, and textChanged is
    // raised.
    void storeReset();

    // The caret is at position; the selection runs from anchor to it.
    qsizetype cursorPosition() const { return m_position; }
    qsizetype anchorPosition() const { return m_anchor; }
    qsizetype selectionStart() const;
    qsizetype selectionEnd() const;
    bool hasSelection() const { return m_anchor != m_position; }
    // Both clamped to the text; a position between the halves of a
    // surrogate pair is not moved. Brings the caret into sight.
    void setSelection(qsizetype anchor, qsizetype position);
    // Line breaks as TextStore::lineBreak.
    QString selectedText() const;
    // Replaces the selection (or inserts at the caret) with text, whose CR LF,
    // LF, CR, U+2029, U+FDD0 and U+FDD1 each make a line break; the caret
    // ends after it. Raises textChanged when anything changed.
    void replaceSelection(QStringView text, TextStore::EditKind kind = TextStore::EditKind::Separate);
    // The store's undo, with the caret put after what it restored.
    bool undo();

    bool wrapsAtEdge() const { return m_wrapsAtEdge; }
    void setWrapsAtEdge(bool wrap);
    bool overwriteMode() const { return m_overwrite; }
    void setOverwriteMode(bool overwrite);
    bool hideSelection() const { return m_hideSelection; }
    void setHideSelection(bool hide);
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // In pixels; 80 by default.
    qreal tabStopDistance() const { return m_tabStopDistance; }
    void setTabStopDistance(qreal distance);

    void cut();
    void copy();
    void paste();
    void selectAll();

    void ensureCursorVisible();
    // The caret's rectangle in the viewport.
    QRect cursorRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;

signals:
    // After every change of the text: typed, pasted, deleted, set by the
    // program or loaded.
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();

protected:
    // The clipboard and drag and drop: the selection as plain text with
    // each line break as LF, and text taken in as replaceSelection takes it.
    virtual QMimeData *createMimeDataFromSelection() const;
    virtual bool canInsertFromMimeData(const QMimeData *source) const;
    virtual void insertFromMimeData(const QMimeData *source);

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    TextStore m_store;
    LineEnd m_newLineEnd = platformLineEnd();
    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    bool m_wrapsAtEdge = true;
    bool m_overwrite = false;
    bool m_hideSelection = true;
    bool m_readOnly = false;
    qreal m_tabStopDistance = 80;
    // Layout of the lines, glyph advances of long lines, scrolling; the
    // view's implementation adds what else it keeps here.
    std::unique_ptr<TextLayoutCache> m_layout;
};
