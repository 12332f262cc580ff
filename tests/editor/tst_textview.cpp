#include "editor/filetext.h"
#include "editor/textlayout.h"
#include "editor/textstore.h"
#include "editor/textview.h"
#include "suites.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <thread>

namespace {

// The events screen readers were sent, and the text of edits.
QList<QAccessible::Event> accessibleEvents;
QStringList accessibleEdits;
int accessibleCaret = -1;

void recordAccessibleEvent(QAccessibleEvent *event)
{
    accessibleEvents.append(event->type());
    if (event->type() == QAccessible::TextCaretMoved)
        accessibleCaret = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
    if (event->type() == QAccessible::TextUpdated)
        accessibleEdits.append(u'-' + static_cast<QAccessibleTextUpdateEvent *>(event)->textRemoved() + u'+'
                               + static_cast<QAccessibleTextUpdateEvent *>(event)->textInserted());
    else if (event->type() == QAccessible::TextInserted)
        accessibleEdits.append(u'+' + static_cast<QAccessibleTextInsertEvent *>(event)->textInserted());
    else if (event->type() == QAccessible::TextRemoved)
        accessibleEdits.append(u'-' + static_cast<QAccessibleTextRemoveEvent *>(event)->textRemoved());
}

// A view whose selection can be dropped within it, as a drag would.
class DropView : public TextView
{
public:
    using TextView::TextView;
    void drop(const QPoint &point) { dropMimeData(nullptr, point, true); }
};

} // namespace

class TextViewBehaviour : public QObject
{
    Q_OBJECT

    // Each test's own window, with the view in it that has the focus and
    // a line edit that Tab would move the focus to.
    std::unique_ptr<QWidget> window;
    DropView *view = nullptr;

    void load(const QString &text)
    {
        view->store().load(QString(text));
        view->storeReset();
    }
    QString text() const { return view->store().text(0, view->store().length()); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(view, key, modifiers);
    }
    // Where the caret stands at position, in the viewport.
    QPoint pointAt(qsizetype position)
    {
        view->setSelection(position, position);
        return view->cursorRect().center();
    }

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        view = new DropView(window.get());
        view->setGeometry(0, 0, 400, 200);
        (new QLineEdit(window.get()))->setGeometry(0, 210, 100, 20);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QApplication::setActiveWindow(window.get());
        view->setFocus();
    }

    void cleanup() { window.reset(); }

    void keysMoveTheCaretAndEditByCharactersAndWords_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        // The caret is |, the other end of a selection ^.
        const auto row = [](const char *name, const QString &before, const char *keys, const QString &after) {
            QTest::newRow(name) << before << QString::fromLatin1(keys) << after;
        };
        row("Right steps over a pair", QStringLiteral("ab\n|\U0001F600c"), "Right", QStringLiteral("ab\n\U0001F600|c"));
        row("Shift+Left selects a pair", QStringLiteral("ab\n\U0001F600|c"), "Shift+Left", QStringLiteral("ab\n|\U0001F600^c"));
        row("Down keeps the column", QStringLiteral("ab\n|\U0001F600c\nxyz"), "Down", QStringLiteral("ab\n\U0001F600c\n|xyz"));
        row("End goes to the line end", QStringLiteral("|ab\ncd"), "End", QStringLiteral("ab|\ncd"));
        row("Ctrl+Right goes to the next word", QStringLiteral("|xyz words"), "Ctrl+Right", QStringLiteral("xyz |words"));
        row("Ctrl+Left goes to the word start", QStringLiteral("xyz words|"), "Ctrl+Left", QStringLiteral("xyz |words"));
        row("Ctrl+Shift+Home selects to the start", QStringLiteral("ab\nxyz |words"), "Ctrl+Shift+Home",
            QStringLiteral("|ab\nxyz ^words"));
        row("Backspace takes a pair whole", QStringLiteral("ab\n\U0001F600|c"), "Backspace", QStringLiteral("ab\n|c"));
        row("Delete takes a pair whole", QStringLiteral("a|\U0001F600b"), "Delete", QStringLiteral("a|b"));
        row("Ctrl+Backspace takes a word", QStringLiteral("alpha beta| gamma"), "Ctrl+Backspace", QStringLiteral("alpha | gamma"));
        row("Ctrl+Delete takes a word", QStringLiteral("alpha | gamma"), "Ctrl+Delete", QStringLiteral("alpha |gamma"));
        row("Tab is typed rather than moving the focus", QStringLiteral("|b"), "Tab", QStringLiteral("\t|b"));
        if (QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine).contains(QKeySequence(Qt::CTRL | Qt::Key_K))) {
            row("Ctrl+K takes the rest of the line", QStringLiteral("alpha |gamma\nnext"), "Ctrl+K", QStringLiteral("alpha |\nnext"));
            row("Ctrl+K at a line end joins the next", QStringLiteral("alpha |\nnext"), "Ctrl+K", QStringLiteral("alpha |next"));
        }
    }

    void keysMoveTheCaretAndEditByCharactersAndWords()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        const qsizetype caret = before.indexOf(u'|');
        load(before.remove(u'|'));
        view->setSelection(caret, caret);
        QTest::keySequence(view, QKeySequence(keys));
        QString shown = text();
        if (view->anchorPosition() > view->cursorPosition())
            shown.insert(view->anchorPosition(), u'^');
        shown.insert(view->cursorPosition(), u'|');
        if (view->anchorPosition() < view->cursorPosition())
            shown.insert(view->anchorPosition(), u'^');
        QCOMPARE(shown, after);
        QCOMPARE(QApplication::focusWidget(), view);
    }

    void leftAndRightWithASelectionGoToItsLeftAndRightEnd_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("move");
        QTest::addColumn<int>("caret");
        // From the caret at 4, three characters are selected either way,
        // a line break among them.
        QTest::newRow("selected forward, Left") << QStringLiteral("Shift+Right") << QStringLiteral("Left") << 4;
        QTest::newRow("selected forward, Right") << QStringLiteral("Shift+Right") << QStringLiteral("Right") << 7;
        QTest::newRow("selected backward, Left") << QStringLiteral("Shift+Left") << QStringLiteral("Left") << 1;
        QTest::newRow("selected backward, Right") << QStringLiteral("Shift+Left") << QStringLiteral("Right") << 4;
    }

    void leftAndRightWithASelectionGoToItsLeftAndRightEnd()
    {
        QFETCH(QString, select);
        QFETCH(QString, move);
        QFETCH(int, caret);
        load(QStringLiteral("ab\ncd\nef"));
        view->setSelection(4, 4);
        for (int i = 0; i < 3; ++i)
            QTest::keySequence(view, QKeySequence(select));
        QCOMPARE(view->selectedText().size(), 3);
        QTest::keySequence(view, QKeySequence(move));
        QCOMPARE(view->cursorPosition(), caret);
        QVERIFY(!view->hasSelection());
    }

    void undoingBackspaceOverLinesPutsBackEachLinesOwnLineEnd()
    {
        view->store().load(QStringLiteral("crlf\r\nlf\ncr\rlf again\nend"));
        view->storeReset();
        const QList<LineEnd> lineEnds{LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr, LineEnd::Lf};
        const auto shownLineEnds = [this] {
            QList<LineEnd> ends;
            for (qsizetype line = 0; line + 1 < view->store().lineCount(); ++line)
                ends.append(view->store().lineEnd(line));
            return ends;
        };
        // From inside the first line to inside the last.
        press(Qt::Key_Right, Qt::NoModifier, 2);
        press(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_Left, Qt::ShiftModifier);
        press(Qt::Key_Backspace);
        QCOMPARE(text(), QStringLiteral("crd"));
        QVERIFY(view->undo());
        QCOMPARE(text(), QStringLiteral("crlf\nlf\ncr\nlf again\nend"));
        QCOMPARE(shownLineEnds(), lineEnds);
        // Undone again and again, the line ends are still where they were.
        QVERIFY(view->undo());
        QCOMPARE(view->store().lineCount(), 1);
        QVERIFY(view->undo());
        QCOMPARE(shownLineEnds(), lineEnds);
    }

    void typingJoinsIntoOneUndoStepAndEveryChangeIsAnnounced()
    {
        load(QStringLiteral("one\ntwo"));
        QSignalSpy changed(view, &TextView::textChanged);
        view->setSelection(3, 3);
        QTest::keyClicks(view, QStringLiteral(" more"));
        QCOMPARE(changed.size(), 5);
        QVERIFY(view->undo());
        QCOMPARE(text(), QStringLiteral("one\ntwo"));
        QVERIFY(view->undo());
        press(Qt::Key_Backspace, Qt::NoModifier, 2);
        QCOMPARE(text(), QStringLiteral("one mo\ntwo"));
        QVERIFY(view->undo());
        QCOMPARE(text(), QStringLiteral("one more\ntwo"));
        QCOMPARE(view->cursorPosition(), 8);
    }

    void overwriteReplacesCharactersButStopsAtTheLineEnd()
    {
        load(QStringLiteral("ab\ncd"));
        view->setOverwriteMode(true);
        QTest::keyClicks(view, QStringLiteral("xyz"));
        QCOMPARE(text(), QStringLiteral("xyz\ncd"));
    }

    void tabStopsAtWholeColumnsOfTheFontAtAnySize()
    {
        // In a fixed-pitch font the text after a tab stands under the ninth
        // character of another line.
        load(QStringLiteral("\tb\n12345678b"));
        for (int points : {9, 20}) {
            QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            font.setPointSize(points);
            view->setFont(font);
            QVERIFY2(qAbs(pointAt(1).x() - pointAt(11).x()) <= 1, qPrintable(QString::number(points)));
        }
    }

    void aPlainKeyIsTheViewsBeforeAnyWindowShortcutButAltAndCtrlKeysAreNot()
    {
        for (const auto &[key, modifiers, typed, taken] : {std::tuple(Qt::Key_A, Qt::NoModifier, "a", true),
                                                            std::tuple(Qt::Key_Q, Qt::ControlModifier, "\x11", false),
                                                            std::tuple(Qt::Key_F, Qt::AltModifier, "f", false)}) {
            QKeyEvent event(QEvent::ShortcutOverride, key, modifiers, QString::fromLatin1(typed));
            event.ignore();
            QApplication::sendEvent(view, &event);
            QCOMPARE(event.isAccepted(), taken);
        }
    }

    void upAndDownKeepTheColumnAndWalkEveryRowOfALineWrappedBetweenWords()
    {
        load(QStringLiteral("a long first line\nab\na long first line"));
        view->setSelection(12, 12);
        press(Qt::Key_Down, Qt::NoModifier, 2);
        QCOMPARE(view->cursorPosition(), 21 + 12);

        // A line long enough to be laid out in pieces: Down reaches the start
        // of each row once, after a space, and Up comes back the same way.
        const QString line = QStringLiteral("lorem ipsum dolor sit amet ").repeated(1200);
        load(line + QStringLiteral("\nnext"));
        QVERIFY(view->wrapsAtEdge());
        press(Qt::Key_End);
        QVERIFY(view->cursorPosition() > 0 && view->cursorPosition() < 100);
        press(Qt::Key_Home);
        QList<qsizetype> down {0};
        while (view->cursorPosition() < 12000) {
            press(Qt::Key_Down);
            QVERIFY(view->cursorPosition() > down.last() && view->cursorPosition() - down.last() < 100);
            QVERIFY(line.at(view->cursorPosition() - 1) == u' ');
            QVERIFY(view->cursorRect().top() >= 0 && view->cursorRect().bottom() < view->viewport()->height());
            down.append(view->cursorPosition());
        }
        for (qsizetype i = down.size() - 2; i >= 0; --i) {
            press(Qt::Key_Up);
            QCOMPARE(view->cursorPosition(), down[i]);
        }

        view->setWrapsAtEdge(false);
        press(Qt::Key_Down);
        QCOMPARE(view->cursorPosition(), line.size() + 1);
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
    }

    void copyGivesLineBreaksAsLfAndKeepsOtherCharacters()
    {
        load(QStringLiteral("a\u00A0b\tc\r\nd\u2028e"));
        view->selectAll();
        view->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00A0b\tc\nd\u2028e"));
        view->setSelection(1, 5);
        view->cut();
        QCOMPARE(text(), QStringLiteral("a\nd\u2028e"));
        view->paste();
        QCOMPARE(text(), QStringLiteral("a\u00A0b\tc\nd\u2028e"));
    }

    void aComposedCharacterLandsAsOneChangeAndAPreeditStaysOut()
    {
        load(QStringLiteral("caf"));
        view->setSelection(3, 3);
        QSignalSpy changed(view, &TextView::textChanged);
        QInputMethodEvent preedit(QStringLiteral("e\u0301"), {});
        QApplication::sendEvent(view, &preedit);
        QCOMPARE(text(), QStringLiteral("caf"));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("\u00E9"));
        QApplication::sendEvent(view, &commit);
        QCOMPARE(text(), QStringLiteral("caf\u00E9"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(view->cursorPosition(), 4);

        // An input method may replace text before the caret.
        QInputMethodEvent replace;
        replace.setCommitString(QStringLiteral("FE"), -3, 3);
        QApplication::sendEvent(view, &replace);
        QCOMPARE(text(), QStringLiteral("cFE"));
        QCOMPARE(static_cast<QWidget *>(view)->inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("cFE"));
        QCOMPARE(static_cast<QWidget *>(view)->inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    }

    void screenReadersGetTheTextCaretSelectionAndEdits()
    {
        load(QStringLiteral("first line\nsecond words"));
        TextView::setAccessibilityProbe(recordAccessibleEvent);
        accessibleEvents.clear();
        accessibleEdits.clear();
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(view);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::EditableText);
        QAccessibleTextInterface *reader = face->textInterface();
        QCOMPARE(reader->characterCount(), 23);
        view->setSelection(11, 17);
        int start = 0;
        int end = 0;
        reader->selection(0, &start, &end);
        QCOMPARE(QList<int>({start, end, reader->cursorPosition()}), QList<int>({11, 17, 17}));
        QCOMPARE(reader->textAtOffset(13, QAccessible::LineBoundary, &start, &end), QStringLiteral("second words"));
        QCOMPARE(reader->textAtOffset(2, QAccessible::WordBoundary, &start, &end), QStringLiteral("first"));
        QCOMPARE(reader->textBeforeOffset(13, QAccessible::LineBoundary, &start, &end), QStringLiteral("first line\n"));
        // A character's box runs on the screen from the caret's place before
        // it to the one after it, and asking for it moves nothing.
        const QRect box = reader->characterRect(13);
        QCOMPARE(view->cursorPosition(), 17);
        const QPoint before = view->viewport()->mapToGlobal(pointAt(13));
        const QPoint after = view->viewport()->mapToGlobal(pointAt(14));
        QCOMPARE(QList<int>({box.left(), box.right() + 1, box.center().y()}), QList<int>({before.x(), after.x(), before.y()}));
        view->setSelection(11, 17);
        view->replaceSelection(u"third");
        press(Qt::Key_Backspace);
        QTest::keyClicks(view, QStringLiteral("D"));
        face->editableTextInterface()->deleteText(0, 6);
        QCOMPARE(text(), QStringLiteral("line\nthirD words"));
        TextView::setAccessibilityProbe({});
        for (const QAccessible::Event event : {QAccessible::TextCaretMoved, QAccessible::TextSelectionChanged, QAccessible::TextUpdated})
            QVERIFY(accessibleEvents.contains(event));
        QCOMPARE(accessibleEdits, QStringList({QStringLiteral("-second+third"), QStringLiteral("-d"), QStringLiteral("+D"),
                                               QStringLiteral("-first ")}));
    }

    void undoTellsAReaderWhatItTookAwayAndPutBackAndWhereTheCaretWent_data()
    {
        QTest::addColumn<int>("selected"); // characters before the caret selected, then typed over
        QTest::addColumn<QString>("typed"); // \b: Backspace
        QTest::addColumn<int>("undos");
        QTest::addColumn<QString>("told");
        QTest::addColumn<int>("caret");
        QTest::newRow("typing at the end undone") << 0 << "cd" << 1 << "-cd" << 2;
        QTest::newRow("and done again") << 0 << "cd" << 2 << "-cd +cd" << 4;
        QTest::newRow("a deletion undone") << 0 << "\b\b" << 1 << "+ab" << 2;
        QTest::newRow("a selection typed over, undone") << 2 << "X" << 1 << "-X+ab" << 2;
    }

    void undoTellsAReaderWhatItTookAwayAndPutBackAndWhereTheCaretWent()
    {
        QFETCH(int, selected);
        QFETCH(QString, typed);
        QFETCH(int, undos);
        load(QStringLiteral("ab"));
        view->setSelection(2 - selected, 2);
        for (const QChar c : typed)
            c == u'\b' ? press(Qt::Key_Backspace) : QTest::keyClicks(view, QString(c));
        TextView::setAccessibilityProbe(recordAccessibleEvent);
        accessibleEdits.clear();
        accessibleCaret = -1;
        for (int undo = 0; undo < undos; ++undo)
            QVERIFY(view->undo());
        TextView::setAccessibilityProbe({});
        QTEST(accessibleEdits.join(u' '), "told");
        QTEST(accessibleCaret, "caret");
    }

    void clickingShiftClickingAndDoubleClickingSelect()
    {
        load(QStringLiteral("hello wide world\nsecond"));
        const QPoint start = pointAt(0);
        const QPoint lineEnd = pointAt(16);
        const QPoint inHello = pointAt(2);
        const QPoint inWorld = pointAt(13);
        const QPoint inWide = pointAt(8);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, start);
        QCOMPARE(view->cursorPosition(), 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, lineEnd);
        QCOMPARE(view->selectedText(), QStringLiteral("hello wide world"));
        QCOMPARE(view->positionAt(lineEnd + QPoint(0, view->cursorRect().height())), 23);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, inWide);
        QCOMPARE(view->selectedText(), QStringLiteral("wide"));

        // Dragging on after a double click takes whole words.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, inWide);
        const auto send = [this](QEvent::Type type, const QPoint &at) {
            QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &event);
        };
        send(QEvent::MouseButtonDblClick, inWide);
        send(QEvent::MouseMove, inWorld);
        QCOMPARE(view->selectedText(), QStringLiteral("wide world"));
        send(QEvent::MouseMove, inHello);
        QCOMPARE(view->selectedText(), QStringLiteral("hello wide"));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, inHello);
    }

    void droppingTextInsertsItAndAMoveWithinTheViewIsOneUndoStep()
    {
        load(QStringLiteral("move ME to the end"));
        const QPoint end = pointAt(18) + QPoint(2, 0);
        const QPoint start = pointAt(0);

        // Text dragged in from elsewhere lands where it is dropped.
        QMimeData data;
        data.setText(QStringLiteral("new "));
        QDragEnterEvent enter(start, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(start, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &drop);
        QCOMPARE(text(), QStringLiteral("new move ME to the end"));
        QCOMPARE(view->selectedText(), QStringLiteral("new "));
        // Files from a file manager are left to the window around: their names are no text.
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
        QDragEnterEvent files(start, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &files);
        QVERIFY(!files.isAccepted());

        load(QStringLiteral("move ME to the end"));
        view->setSelection(5, 8);
        QSignalSpy changed(view, &TextView::textChanged);
        view->drop(end);
        QCOMPARE(text(), QStringLiteral("move to the endME "));
        QCOMPARE(view->selectedText(), QStringLiteral("ME "));
        QCOMPARE(changed.size(), 1);
        view->setSelection(0, 4);
        view->drop(end);
        QCOMPARE(text(), QStringLiteral(" to the endME move"));
        QVERIFY(view->undo());
        QCOMPARE(text(), QStringLiteral("move to the endME "));
    }


    void theCaretStaysInSightWhenTheViewNarrowsAndASelectionHidesWithoutTheFocus()
    {
        QString lines;
        for (int i = 0; i < 200; ++i)
            lines += QStringLiteral("line %1 with some words to wrap when narrow\n").arg(i);
        load(lines);
        view->setWrapsAtEdge(true);
        view->setSelection(lines.size() / 2, lines.size() / 2);
        view->resize(150, 200);
        QApplication::processEvents();
        QVERIFY(view->viewport()->rect().contains(view->cursorRect().center()));

        load(QStringLiteral("selected text"));
        view->setSelection(0, 8);
        view->setHideSelection(true);
        const auto highlighted = [this] {
            const QImage image = view->viewport()->grab().toImage();
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                const QColor highlight = view->palette().color(group, QPalette::Highlight);
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        if (image.pixelColor(x, y) == highlight)
                            return true;
            }
            return false;
        };
        QVERIFY(highlighted());
        window->findChild<QLineEdit *>()->setFocus();
        QVERIFY(!highlighted());
        view->setHideSelection(false);
        QVERIFY(highlighted());
    }

    void aSnapshotReadsTheTextAsTakenUntilAnEditAwayFromTheLastNeedsItsMemory_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("readable");
        QTest::newRow("typing on") << "type" << true;
        QTest::newRow("deleting back") << "backspace" << true;
        QTest::newRow("typing elsewhere") << "elsewhere" << false;
        QTest::newRow("a new text") << "load" << false;
    }
    void aSnapshotReadsTheTextAsTakenUntilAnEditAwayFromTheLastNeedsItsMemory()
    {
        QFETCH(QString, edit);
        QFETCH(bool, readable);
        load(QStringLiteral("one\r\ntwo\nthree\rfour"));
        press(Qt::Key_Down);
        // The second character makes the store's room for typing.
        QTest::keyClicks(view, QStringLiteral("xy"));
        const TextSnapshot snapshot = view->store().snapshot();
        if (edit == QLatin1String("type"))
            QTest::keyClicks(view, QStringLiteral("yz"));
        else if (edit == QLatin1String("backspace"))
            press(Qt::Key_Backspace);
        else if (edit == QLatin1String("elsewhere"))
            press(Qt::Key_Home, Qt::ControlModifier), QTest::keyClicks(view, QStringLiteral("w"));
        else
            load(QStringLiteral("new"));
        QString read;
        const bool whole
            = snapshot.read([&](QStringView part) { read += part; }, [&](LineEnd lineEnd) { read += lineEndText(lineEnd); });
        QCOMPARE(whole, readable);
        if (readable)
            QCOMPARE(read, QStringLiteral("one\r\nxytwo\nthree\rfour"));
    }

    // A big file's text shows as soon as the index has gone through its
    // start (held there), comes in as the index goes on without counting as
    // a change, and is taken in whole, waiting for the index, wherever the
    // part not yet in is needed.
    void aTextGrowingFromItsFileShowsAtOnceAndWaitsForTheIndexOnlyWhereItMust_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action : {"index goes on", "Ctrl+End", "typing", "scroll bar to the bottom", "Page Down past it",
                                   "select all", "go to a line still to come"})
            QTest::newRow(action) << QString::fromLatin1(action);
    }

    void aTextGrowingFromItsFileShowsAtOnceAndWaitsForTheIndexOnlyWhereItMust()
    {
        QFETCH(QString, action);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("big.txt"));
        QString whole;
        for (int line = 0; line < 60000; ++line)
            whole += QStringLiteral("line %1 \u00e9\U0001F600\n").arg(line);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(whole.toUtf8());
        }
        FileText::holdIndexesAt(8192);
        FileError error;
        const std::shared_ptr<FileText> file = FileText::open(path, TextFileFormat(), error, 1024);
        (void)file->block(4);
        view->store().load(file);
        view->storeReset();
        QSignalSpy changes(view, &TextView::textChanged);
        view->repaint();
        QVERIFY(view->store().growing());
        QVERIFY(view->store().lineCount() < 1000);
        QCOMPARE(view->store().text(0, 6), QStringLiteral("line 0"));
        // The scroll bar counts the lines still to come.
        QVERIFY(view->verticalScrollBar()->maximum() > 30000);
        // Taking in what comes does not wait for what has not come.
        QTest::qWait(60);
        // What waits for the index gets it once it moves on.
        const bool goTo = action == QLatin1String("go to a line still to come");
        QSignalSpy indexing(view, &TextView::indexing);
        std::jthread release([goTo] {
            std::this_thread::sleep_for(std::chrono::milliseconds(goTo ? 300 : 100));
            FileText::holdIndexesAt(-1);
        });
        qsizetype caret = 0;
        if (action == QLatin1String("index goes on")) {
            release.join();
            QTRY_VERIFY(!view->store().growing());
        } else if (action == QLatin1String("Ctrl+End")) {
            press(Qt::Key_End, Qt::ControlModifier);
            caret = whole.size();
        } else if (action == QLatin1String("typing")) {
            view->setSelection(3, 3);
            QTest::keyClicks(view, QStringLiteral("x"));
            whole.insert(3, u'x');
            caret = 4;
        } else if (action == QLatin1String("scroll bar to the bottom")) {
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
            const QPoint bottom(5, view->viewport()->height() - 5);
            QVERIFY(view->store().lineAt(view->positionAt(bottom)) > 59990);
        } else if (action == QLatin1String("Page Down past it")) {
            press(Qt::Key_PageDown, Qt::NoModifier, 200);
            caret = view->cursorPosition();
            QVERIFY(view->store().lineAt(caret) > 1000);
        } else if (goTo) {
            QVERIFY(view->goToLine(50000, 3));
            caret = whole.indexOf(QStringLiteral("line 50000 "));
            QCOMPARE(view->cursorPosition(), caret);
            QCOMPARE(view->store().lineAt(view->positionAt(QPoint(1, 1))), 49997);
            // The wait told how far the index had come.
            QVERIFY(std::any_of(indexing.begin(), indexing.end(), [](const QList<QVariant> &told) { return told[0].toInt() < 100; }));
            QVERIFY(!view->goToLine(60001, 3));
        } else {
            press(Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(view->selectedText().size(), whole.size());
            caret = whole.size();
        }
        if (release.joinable())
            release.join();
        QTRY_VERIFY(!view->store().growing());
        QCOMPARE(view->store().lineCount(), 60001);
        QCOMPARE(text(), whole);
        QCOMPARE(view->cursorPosition(), caret);
        QCOMPARE(changes.count(), action == QLatin1String("typing") ? 1 : 0);
    }

    void typingInAMegabyteLineLaysOutOnlyWhatIsInSight()
    {
        const qint64 atStart = TextLayoutCache::shapedCharacters;
        load(QStringLiteral("lorem ipsum dolor sit amet consectetur ").repeated(130000));
        view->repaint();
        QVERIFY(TextLayoutCache::shapedCharacters - atStart < 50'000);
        for (bool wrap : {true, false}) {
            view->setWrapsAtEdge(wrap);
            for (qsizetype at : {view->store().length(), view->store().length() / 2}) {
                view->setSelection(at, at);
                view->repaint();
                const qint64 before = TextLayoutCache::shapedCharacters;
                QTest::keyClicks(view, QStringLiteral("x"));
                view->repaint();
                QVERIFY2(TextLayoutCache::shapedCharacters - before < 50'000,
                         qPrintable(QString::number(TextLayoutCache::shapedCharacters - before)));
                QCOMPARE(view->store().at(at), QLatin1Char('x'));
            }
        }
    }
};

QUILLORY_SUITE(TextViewBehaviour)
#include "tst_textview.moc"
