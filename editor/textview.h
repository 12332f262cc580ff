#pragma once

#include "editor/textstore.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>

#include <functional>
#include <utility>
#include <memory>

class QAccessibleEvent;
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

    // A text still growing from its file as the file is indexed (see
    // TextStore::growing()) takes in more as it comes, and waits for the
    // index only where it must: to go further than it has come, to reach
    // its end, and before any edit. completeText() takes in the whole text
    // at once, waiting for the index, and is false when that replaced the
    // text (the rest of the file could not be read as its start was).
    bool completeText();
    // Puts the caret at the start of line (from 0) and scrolls so that up to
    // rowsAbove rows of the text stand above it. A growing text waits for
    // its index as far as that line, as completeText() waits. False, moving
    // nothing, when the text has no such line.
    bool goToLine(qsizetype line, int rowsAbove);

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
    // Makes the replacements (see TextStore::replaceEach) as one change; the
    // caret and the selection keep their place in the text around them.
    // Raises textChanged.
    void replaceEach(const std::vector<TextStore::Replacement> &replacements);
    // The store's undo, with the caret put after what it restored. Called
    // again it undoes that undo.
    bool undo();
    // Whether the next undo() puts back what the last one took back.
    bool undoRedoes() const { return m_lastWasUndo && m_store.canUndo(); }
    // Forgets what undo() could take back.
    void clearUndo();

    bool wrapsAtEdge() const { return m_wrapsAtEdge; }
    void setWrapsAtEdge(bool wrap);
    bool overwriteMode() const { return m_overwrite; }
    void setOverwriteMode(bool overwrite);
    bool hideSelection() const { return m_hideSelection; }
    void setHideSelection(bool hide);
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // Tab stops lie every so many columns of the font's average character
    // width, 8 by default, and move with the font and its size.
    int tabStopColumns() const { return m_tabStopColumns; }
    void setTabStopColumns(int columns);
    // The distance between tab stops, in pixels, as shown at the zoom.
    qreal tabStopDistance() const;

    // The text is laid out and painted in font() scaled by the zoom, in
    // percent from minZoom to maxZoom; font() itself stays as it was set.
    // Ctrl with the wheel, plus, minus and 0 step it (0 back to 100).
    static constexpr int minZoom = 10;
    static constexpr int maxZoom = 500;
    int zoom() const { return m_zoom; }
    void setZoom(int percent);
    void zoomIn();
    void zoomOut();

    // The caret's line and its column in that line, both from 0; a column
    // counts characters, a surrogate pair as one. Asked again, the column
    // counts only the characters the caret passed since, so that moving
    // along a line of megabytes stays cheap.
    qsizetype cursorLine() const { return m_store.lineAt(m_position); }
    qsizetype cursorColumn() const;

    void cut();
    void copy();
    void paste();
    void selectAll();

    void ensureCursorVisible();
    // Scrolls as little as brings position into sight.
    void ensurePositionVisible(qsizetype position);
    // The caret's rectangle in the viewport.
    QRect cursorRect() const;
    // The rectangle of the character at position in the viewport: from the
    // caret's place before it to its place after it, a caret's width where
    // the character ends its row (a line break, the end of the text).
    QRect positionRect(qsizetype position) const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;

    // Screen reader events go to probe as well, even where the platform has
    // no screen reader support (tests); an empty probe stops that.
    static void setAccessibilityProbe(std::function<void(QAccessibleEvent *)> probe);

signals:
    // After every change of the text: typed, pasted, deleted, set by the
    // program or loaded.
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    void zoomChanged(int percent);
    // While a big file's text is indexed: how much of it has been gone
    // through; 100 once it all has.
    void indexing(int percent);

protected:
    // The whole text of a file has come in; false when this replaced it.
    virtual bool textCompleted() { return true; }

    // The clipboard and drag and drop: the selection as plain text with
    // each line break as LF, and text taken in as replaceSelection takes it.
    virtual QMimeData *createMimeDataFromSelection() const;
    virtual bool canInsertFromMimeData(const QMimeData *source) const;
    virtual void insertFromMimeData(const QMimeData *source);

    // Drops source's text at point of the viewport; moveSelection moves the
    // selection there instead (a drag within the view), as one change.
    void dropMimeData(const QMimeData *source, const QPoint &point, bool moveSelection);

    bool event(QEvent *event) override;
    // Tab is typed into the text rather than moving the focus.
    bool focusNextPrevChild(bool next) override;
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
    void wheelEvent(QWheelEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    // A visual row: a line and a row of it when wrapped.
    struct RowPos
    {
        qsizetype line = 0;
        int row = 0;
    };

    enum class Move { Stay, Left, Right, WordLeft, WordRight, Up, Down, RowStart, RowEnd, TextStart, TextEnd,
                      PageUp, PageDown };

    // Replaces [position, position + removed) with text in the store, keeping
    // the layout and screen readers up to date; gives the inserted length.
    qsizetype edit(qsizetype position, qsizetype removed, QStringView text, TextStore::EditKind kind);
    // After an edit: the selection set, the signals raised, the caret shown.
    void finishEdit(qsizetype anchor, qsizetype position);
    // Sets the selection without clamping or scrolling; raises the signals.
    void moveCaret(qsizetype anchor, qsizetype position);
    qsizetype target(Move move, qsizetype from);
    void moveBy(Move move, bool select);
    qsizetype nextGrapheme(qsizetype position) const;
    qsizetype previousGrapheme(qsizetype position) const;
    qsizetype nextWord(qsizetype position) const;
    qsizetype previousWord(qsizetype position) const;
    std::pair<qsizetype, qsizetype> wordAt(qsizetype position) const;
    bool handlesKey(QKeyEvent *event) const;
    // 1 for a zoom-in key, -1 for zoom out, 2 for back to 100 %, else 0.
    static int zoomKey(const QKeyEvent *event);
    QFont shownFont() const;
    // Characters in [from, to), a surrogate pair counting one.
    qsizetype charactersBetween(qsizetype from, qsizetype to) const;
    void typeText(const QString &text);
    void deleteKey(bool forward, bool word);

    int pageRows() const;
    qreal leftX() const;
    qreal topY() const;
    RowPos rowOfPosition(qsizetype position) const;
    // A caret's rectangle at position, in the viewport.
    QRect caretRect(qsizetype position) const;
    RowPos stepRows(RowPos from, qint64 rows) const;
    RowPos lastTop() const;
    // Rows from the top row to p; a far p gives a value beyond the screen.
    qint64 rowsFromTop(RowPos p) const;
    void setTop(RowPos top);
    // Lays out what the screen shows from the top, so rows counted there are exact.
    void settleVisibleRows();
    void updateScrollBars();
    void updateWrapWidth();
    // Makes a change to the layout, keeping the text at the top in place.
    void relayout(const std::function<void()> &change);
    // Takes in what the text's file index went through since; false when
    // the text turned out whole and was replaced.
    bool takeGrowth();
    // Waits until the text has that line, or has all come.
    void growToLine(qsizetype line);
    // Waits, with the hourglass and indexing() telling how far the index
    // has come, until it has gone through that many line breaks (negative:
    // all of them); takes in what came as takeGrowth() does.
    bool waitForIndex(qsizetype breaks);
    // Rows the scroll bar counts for the part of a growing text still to come.
    qint64 rowsToCome() const;
    void restartBlink();
    void setSelectionClipboard();
    void startDrag();
    // Whether a drag's data would be dropped into the text.
    bool takesDrop(const QMimeData *source) const;
    void notifyCursor();
    // Tells a reader of an edit at position: the text it took away and put.
    void notifyEdit(qsizetype position, const QString &removedText, const QString &insertedText);
    // Where the text given to input methods around the caret starts.
    qsizetype surroundingStart() const;
    // Whether screen readers listen, so events that cost are worth sending.
    static bool accessibilityWanted();
    static void sendAccessible(QAccessibleEvent &event);

    TextStore m_store;
    LineEnd m_newLineEnd = platformLineEnd();
    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    bool m_wrapsAtEdge = true;
    bool m_overwrite = false;
    bool m_hideSelection = true;
    bool m_readOnly = false;
    int m_tabStopColumns = 8;
    int m_zoom = 100;
    // Wheel turns not yet a whole zoom step.
    int m_zoomWheel = 0;
    // The caret's column as last counted: its line's start (-1: none), the
    // position and the column there.
    mutable qsizetype m_columnLineStart = -1;
    mutable qsizetype m_columnPosition = 0;
    mutable qsizetype m_column = 0;
    // Layout of the lines, glyph advances of long lines, scrolling; the
    // view's implementation adds what else it keeps here.
    std::unique_ptr<TextLayoutCache> m_layout;

    RowPos m_top;
    bool m_syncingScrollBars = false;
    // The x that Up and Down keep, or negative.
    qreal m_preferredX = -1;
    int m_blinkTimer = 0;
    bool m_caretShown = true;
    int m_autoScrollTimer = 0;
    int m_growTimer = 0;
    QPoint m_mousePoint;
    bool m_selecting = false;
    // A press on the selection: it may start a drag, or place the caret.
    bool m_mightDrag = false;
    QPoint m_pressPoint;
    QElapsedTimer m_doubleClicked;
    // The word a double click selected, while its button is held.
    std::pair<qsizetype, qsizetype> m_wordsSelected;
    QPoint m_doubleClickPoint;
    bool m_droppedHere = false;
    qsizetype m_dropPosition = -1;
    bool m_lastWasUndo = false;
    QString m_preedit;
    int m_preeditCursor = 0;
    // The length screen readers were last told of.
    qsizetype m_accessibleLength = 0;
};
