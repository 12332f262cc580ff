#include "editor/textlayout.h"
#include "editor/textview.h"
#include "suites.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QString textOf(const TextView &view)
{
    return view.store().text(0, view.store().length());
}

void load(TextView &view, const QString &text)
{
    view.store().load(QString(text));
    view.storeReset();
}

void press(QWidget *view, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(view, key, modifiers);
}

// The events screen readers were sent.
QList<QAccessible::Event> accessibleEvents;
QStringList accessibleTexts;

void recordAccessibleEvent(QAccessibleEvent *event)
{
    accessibleEvents.append(event->type());
    if (event->type() == QAccessible::TextInserted)
        accessibleTexts.append(QStringLiteral("+") + static_cast<QAccessibleTextInsertEvent *>(event)->textInserted());
    else if (event->type() == QAccessible::TextRemoved)
        accessibleTexts.append(QStringLiteral("-") + static_cast<QAccessibleTextRemoveEvent *>(event)->textRemoved());
}

// A view whose selection can be dropped within it, as a drag would.
class DropView : public TextView
{
public:
    void drop(const QPoint &point) { dropMimeData(nullptr, point, true); }
};

} // namespace

class TextViewBehaviour : public QObject
{
    Q_OBJECT

private slots:
    void keysMoveAndSelectAcrossLinesAndSurrogatePairs()
    {
        TextView view;
        view.resize(400, 200);
        load(view, QStringLiteral("ab\n\U0001F600c\nxyz words here"));
        press(&view, Qt::Key_Right, Qt::NoModifier, 3);
        QCOMPARE(view.cursorPosition(), 3);
        press(&view, Qt::Key_Right);
        QCOMPARE(view.cursorPosition(), 5); // the pair is one step
        press(&view, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(view.anchorPosition(), 5);
        QCOMPARE(view.cursorPosition(), 3);
        press(&view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(view.selectedText(), QStringLiteral("c\n"));
        press(&view, Qt::Key_End);
        QCOMPARE(view.cursorPosition(), view.store().length());
        press(&view, Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(view.cursorPosition(), view.store().length() - 4);
        press(&view, Qt::Key_Home);
        QCOMPARE(view.cursorPosition(), 7);
        press(&view, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(view.cursorPosition(), 11);
        press(&view, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view.selectionStart(), 0);
        QCOMPARE(view.selectionEnd(), 11);

        // Backspace and Delete take a surrogate pair whole.
        view.setSelection(5, 5);
        press(&view, Qt::Key_Backspace);
        QCOMPARE(textOf(view), QStringLiteral("ab\nc\nxyz words here"));
        load(view, QStringLiteral("a\U0001F600b"));
        view.setSelection(1, 1);
        press(&view, Qt::Key_Delete);
        QCOMPARE(textOf(view), QStringLiteral("ab"));
    }

    void typingJoinsIntoOneUndoStepAndEveryChangeIsAnnounced()
    {
        TextView view;
        load(view, QStringLiteral("one\ntwo"));
        QSignalSpy changed(&view, &TextView::textChanged);
        view.setSelection(3, 3);
        QTest::keyClicks(&view, QStringLiteral(" more"));
        QCOMPARE(changed.size(), 5);
        press(&view, Qt::Key_Return);
        QCOMPARE(textOf(view), QStringLiteral("one more\n\ntwo"));
        QVERIFY(view.undo());
        QCOMPARE(textOf(view), QStringLiteral("one more\ntwo"));
        view.setSelection(8, 8);
        press(&view, Qt::Key_Backspace, Qt::NoModifier, 5);
        QCOMPARE(textOf(view), QStringLiteral("one\ntwo"));
        QVERIFY(view.undo());
        QCOMPARE(textOf(view), QStringLiteral("one more\ntwo"));
        QCOMPARE(view.cursorPosition(), 8);
    }

    void tabIsTypedRatherThanMovingTheFocusAndStopsAtWholeColumns()
    {
        QWidget window;
        auto *view = new TextView(&window);
        view->resize(600, 200);
        new QLineEdit(&window);
        window.show();
        QApplication::setActiveWindow(&window);
        view->setFocus();
        load(*view, QStringLiteral("b\n12345678b"));
        press(view, Qt::Key_Tab);
        QCOMPARE(textOf(*view), QStringLiteral("\tb\n12345678b"));
        QCOMPARE(QApplication::focusWidget(), view);
        // In a fixed-pitch font the text after a tab stands under the ninth
        // character of another line, at any size.
        for (int points : {9, 20}) {
            QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            font.setPointSize(points);
            view->setFont(font);
            view->setSelection(1, 1);
            const int afterTab = view->cursorRect().x();
            view->setSelection(11, 11);
            QVERIFY2(qAbs(view->cursorRect().x() - afterTab) <= 1, qPrintable(QString::number(points)));
        }
    }

    void overwriteReplacesCharactersButStopsAtTheLineEnd()
    {
        TextView view;
        load(view, QStringLiteral("ab\ncd"));
        view.setOverwriteMode(true);
        QTest::keyClicks(&view, QStringLiteral("xyz"));
        QCOMPARE(textOf(view), QStringLiteral("xyz\ncd"));
        view.setOverwriteMode(false);
        view.setSelection(4, 4);
        QTest::keyClicks(&view, QStringLiteral("q"));
        QCOMPARE(textOf(view), QStringLiteral("xyz\nqcd"));
    }

    void aPlainKeyIsTheViewsBeforeAnyWindowShortcutButAltAndCtrlKeysAreNot()
    {
        TextView view;
        QKeyEvent plain(QEvent::ShortcutOverride, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QVERIFY(QApplication::sendEvent(&view, &plain));
        QVERIFY(plain.isAccepted());
        QKeyEvent command(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier, QStringLiteral("\x11"));
        command.ignore();
        QApplication::sendEvent(&view, &command);
        QVERIFY(!command.isAccepted());
        QKeyEvent menu(QEvent::ShortcutOverride, Qt::Key_F, Qt::AltModifier, QStringLiteral("f"));
        menu.ignore();
        QApplication::sendEvent(&view, &menu);
        QVERIFY(!menu.isAccepted());
    }

    void wordKeysDeleteWholeWordsAndCtrlKTakesTheRestOfTheLine()
    {
        TextView view;
        load(view, QStringLiteral("alpha beta gamma\nnext"));
        view.setSelection(10, 10);
        press(&view, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(textOf(view), QStringLiteral("alpha  gamma\nnext"));
        press(&view, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(textOf(view), QStringLiteral("alpha gamma\nnext"));
        QKeyEvent ctrlK(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier);
        if (!ctrlK.matches(QKeySequence::DeleteEndOfLine))
            return;
        QApplication::sendEvent(&view, &ctrlK);
        QCOMPARE(textOf(view), QStringLiteral("alpha \nnext"));
        QApplication::sendEvent(&view, &ctrlK);
        QCOMPARE(textOf(view), QStringLiteral("alpha next"));
    }

    void upAndDownKeepTheColumnAndWalkEveryRowOfAWrappedLongLine()
    {
        TextView view;
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        load(view, QStringLiteral("a long first line\nab\na long first line"));
        view.setSelection(12, 12);
        press(&view, Qt::Key_Down, Qt::NoModifier, 2);
        QCOMPARE(view.cursorPosition(), 21 + 12);

        // Rows across the pieces a long line is laid out in: Down reaches
        // each row once, and Up comes back the same way.
        QString line;
        while (line.size() < 30000)
            line += QStringLiteral("lorem ipsum dolor sit amet ");
        load(view, line);
        QList<qsizetype> down{0};
        while (view.cursorPosition() < 12000) {
            press(&view, Qt::Key_Down);
            QVERIFY(view.cursorPosition() > down.last());
            QVERIFY(view.cursorPosition() - down.last() < 100);
            down.append(view.cursorPosition());
            const QRect caret = view.cursorRect();
            QVERIFY(caret.top() >= 0 && caret.bottom() < view.viewport()->height());
        }
        for (qsizetype i = down.size() - 2; i >= 0; --i) {
            press(&view, Qt::Key_Up);
            QCOMPARE(view.cursorPosition(), down[i]);
        }
    }

    void theCaretStaysInSightWhenTheViewNarrows()
    {
        TextView view;
        view.resize(500, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QString text;
        for (int i = 0; i < 200; ++i)
            text += QStringLiteral("line %1 with some words to wrap when narrow\n").arg(i);
        load(view, text);
        view.setSelection(text.size() / 2, text.size() / 2);
        view.resize(150, 200);
        QApplication::processEvents();
        QVERIFY(view.viewport()->rect().contains(view.cursorRect().center()));
    }

    void aHiddenSelectionIsNotPaintedWithoutTheFocus()
    {
        QWidget window;
        auto *view = new TextView(&window);
        auto *other = new QLineEdit(&window);
        view->setGeometry(0, 0, 300, 100);
        other->setGeometry(0, 110, 100, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        load(*view, QStringLiteral("selected text"));
        view->setSelection(0, 8);
        const auto highlighted = [view] {
            const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);
            const QColor inactive = view->palette().color(QPalette::Inactive, QPalette::Highlight);
            const QImage image = view->viewport()->grab().toImage();
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel == highlight || pixel == inactive)
                        return true;
                }
            }
            return false;
        };
        view->setFocus();
        QVERIFY(view->hasFocus());
        QVERIFY(highlighted());
        other->setFocus();
        QVERIFY(!highlighted());
        view->setHideSelection(false);
        QVERIFY(highlighted());
    }

    void copyGivesLineBreaksAsLfAndKeepsOtherCharacters()
    {
        TextView view;
        load(view, QStringLiteral("a\u00A0b\tc\r\nd\u2028e"));
        view.selectAll();
        view.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\u00A0b\tc\nd\u2028e"));
        view.setSelection(1, 5);
        view.cut();
        QCOMPARE(textOf(view), QStringLiteral("a\nd\u2028e"));
        view.setSelection(1, 1);
        view.paste();
        QCOMPARE(textOf(view), QStringLiteral("a\u00A0b\tc\nd\u2028e"));
    }

    void aComposedCharacterLandsAsOneChangeAndAPreeditStaysOut()
    {
        TextView view;
        load(view, QStringLiteral("caf"));
        view.setSelection(3, 3);
        QSignalSpy changed(&view, &TextView::textChanged);
        QInputMethodEvent preedit(QStringLiteral("e\u0301"), {});
        QApplication::sendEvent(&view, &preedit);
        QCOMPARE(textOf(view), QStringLiteral("caf"));
        QCOMPARE(changed.size(), 0);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("\u00E9"));
        QApplication::sendEvent(&view, &commit);
        QCOMPARE(textOf(view), QStringLiteral("caf\u00E9"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(view.cursorPosition(), 4);
        QVERIFY(view.undo());
        QCOMPARE(textOf(view), QStringLiteral("caf"));

        // An input method may replace text before the caret.
        view.setSelection(3, 3);
        QInputMethodEvent replace;
        replace.setCommitString(QStringLiteral("FE"), -2, 2);
        QApplication::sendEvent(&view, &replace);
        QCOMPARE(textOf(view), QStringLiteral("cFE"));
        QCOMPARE(static_cast<QWidget &>(view).inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("cFE"));
        QCOMPARE(static_cast<QWidget &>(view).inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    }

    void screenReadersGetTheTextCaretSelectionAndEdits()
    {
        TextView view;
        view.resize(300, 200);
        view.show();
        load(view, QStringLiteral("first line\nsecond words"));
        TextView::setAccessibilityProbe(recordAccessibleEvent);
        accessibleEvents.clear();
        accessibleTexts.clear();
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::EditableText);
        QAccessibleTextInterface *text = face->textInterface();
        QVERIFY(text);
        QCOMPARE(text->characterCount(), 23);
        view.setSelection(11, 17);
        QCOMPARE(text->cursorPosition(), 17);
        int start = 0;
        int end = 0;
        text->selection(0, &start, &end);
        QCOMPARE(start, 11);
        QCOMPARE(end, 17);
        QCOMPARE(text->textAtOffset(13, QAccessible::LineBoundary, &start, &end), QStringLiteral("second words"));
        QCOMPARE(text->textAtOffset(2, QAccessible::WordBoundary, &start, &end), QStringLiteral("first"));
        QCOMPARE(text->textBeforeOffset(13, QAccessible::LineBoundary, &start, &end), QStringLiteral("first line\n"));
        view.replaceSelection(u"third");
        press(&view, Qt::Key_Backspace);
        QTest::keyClicks(&view, QStringLiteral("D"));
        face->editableTextInterface()->deleteText(0, 6);
        QCOMPARE(textOf(view), QStringLiteral("line\nthirD words"));
        TextView::setAccessibilityProbe({});
        QVERIFY(accessibleEvents.contains(QAccessible::TextCaretMoved));
        QVERIFY(accessibleEvents.contains(QAccessible::TextSelectionChanged));
        QVERIFY(accessibleEvents.contains(QAccessible::TextUpdated));
        QCOMPARE(accessibleTexts, QStringList({QStringLiteral("-d"), QStringLiteral("+D"),
                                               QStringLiteral("-first ")}));
    }

    void clickingShiftClickingAndDoubleClickingSelect()
    {
        TextView view;
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        load(view, QStringLiteral("hello wide world\nsecond"));
        view.setSelection(0, 0);
        const QRect end = view.cursorRect();
        view.setSelection(16, 16);
        const QPoint lineEnd = view.cursorRect().center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, end.center() + QPoint(0, 0));
        QCOMPARE(view.cursorPosition(), 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, lineEnd);
        QCOMPARE(view.selectedText(), QStringLiteral("hello wide world"));
        QCOMPARE(view.positionAt(lineEnd + QPoint(0, int(view.cursorRect().height()))), 23);
        view.setSelection(8, 8);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.cursorRect().center());
        QCOMPARE(view.selectedText(), QStringLiteral("wide"));

        // Dragging on after a double click takes whole words.
        view.setSelection(8, 8);
        const QPoint inWide = view.cursorRect().center();
        view.setSelection(13, 13);
        const QPoint inWorld = view.cursorRect().center();
        view.setSelection(2, 2);
        const QPoint inHello = view.cursorRect().center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, inWide);
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, inWide, view.viewport()->mapToGlobal(inWide),
                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &doubleClick);
        QMouseEvent toWorld(QEvent::MouseMove, inWorld, view.viewport()->mapToGlobal(inWorld), Qt::NoButton,
                            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &toWorld);
        QCOMPARE(view.selectedText(), QStringLiteral("wide world"));
        QMouseEvent toHello(QEvent::MouseMove, inHello, view.viewport()->mapToGlobal(inHello), Qt::NoButton,
                            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &toHello);
        QCOMPARE(view.selectedText(), QStringLiteral("hello wide"));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, inHello);
    }

    void droppingTextInsertsItAndAMoveWithinTheViewIsOneUndoStep()
    {
        DropView view;
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        load(view, QStringLiteral("move ME to the end"));
        view.setSelection(18, 18);
        const QPoint end = view.cursorRect().center() + QPoint(2, 0);
        view.setSelection(0, 0);
        const QPoint start = view.cursorRect().center();

        // Text dragged in from elsewhere lands where it is dropped.
        QMimeData data;
        data.setText(QStringLiteral("new "));
        QDragEnterEvent enter(start, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(start, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view.viewport(), &drop);
        QCOMPARE(textOf(view), QStringLiteral("new move ME to the end"));
        QCOMPARE(view.selectedText(), QStringLiteral("new "));

        load(view, QStringLiteral("move ME to the end"));
        view.setSelection(5, 8);
        QSignalSpy changed(&view, &TextView::textChanged);
        view.drop(end);
        QCOMPARE(textOf(view), QStringLiteral("move to the endME "));
        QCOMPARE(view.selectedText(), QStringLiteral("ME "));
        QCOMPARE(changed.size(), 1);
        view.setSelection(0, 4);
        view.drop(end);
        QCOMPARE(textOf(view), QStringLiteral(" to the endME move"));
        QVERIFY(view.undo());
        QCOMPARE(textOf(view), QStringLiteral("move to the endME "));
    }

    void wrappingGivesALongLineMoreRowsAndDownWalksThem()
    {
        TextView view;
        view.resize(200, 300);
        view.show();
        QString line;
        for (int i = 0; i < 20; ++i)
            line += QStringLiteral("word%1 ").arg(i);
        load(view, line + QStringLiteral("\nnext"));
        QVERIFY(view.wrapsAtEdge());
        view.setSelection(0, 0);
        press(&view, Qt::Key_Down);
        const qsizetype secondRow = view.cursorPosition();
        QVERIFY(secondRow > 0 && secondRow < line.size());
        QVERIFY(view.cursorRect().top() > 0);
        press(&view, Qt::Key_Home);
        QVERIFY(line.at(view.cursorPosition() - 1) == QLatin1Char(' '));
        press(&view, Qt::Key_End);
        QVERIFY(view.cursorPosition() < line.size() - 1);

        view.setWrapsAtEdge(false);
        view.setSelection(0, 0);
        press(&view, Qt::Key_Down);
        QCOMPARE(view.cursorPosition(), line.size() + 1);
        press(&view, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(view.horizontalScrollBar()->maximum() > 0);
    }

    void typingInAMegabyteLineLaysOutOnlyWhatIsInSight()
    {
        TextView view;
        view.resize(600, 400);
        view.show();
        QString line;
        while (line.size() < 5'000'000)
            line += QStringLiteral("lorem ipsum dolor sit amet consectetur ");
        const qint64 atStart = TextLayoutCache::shapedCharacters;
        load(view, line);
        view.repaint();
        QVERIFY(TextLayoutCache::shapedCharacters - atStart < 50'000);
        for (bool wrap : {true, false}) {
            view.setWrapsAtEdge(wrap);
            for (qsizetype at : {view.store().length(), view.store().length() / 2}) {
                view.setSelection(at, at);
                view.repaint();
                const qint64 before = TextLayoutCache::shapedCharacters;
                QTest::keyClicks(&view, QStringLiteral("x"));
                view.repaint();
                QVERIFY2(TextLayoutCache::shapedCharacters - before < 50'000,
                         qPrintable(QString::number(TextLayoutCache::shapedCharacters - before)));
                QCOMPARE(view.store().at(at), QLatin1Char('x'));
            }
        }
    }
};

QUILLORY_SUITE(TextViewBehaviour)

#include "tst_textview.moc"
