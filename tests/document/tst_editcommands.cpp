#include "document/frmfinddlg.h"
#include "document/menuedit.h"
#include "files/menufile.h"
#include "platform/dates.h"
#include "platform/messages.h"
#include "platform/richtextbox.h"
#include "programsuite.h"
#include "suites.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

RichTextBox *textOf(frmNotePad *document)
{
    return document ? document->Text1 : nullptr;
}

void select(RichTextBox *text, qsizetype start, qsizetype length)
{
    QVERIFY(text->setSelStart(start).ok());
    QVERIFY(text->setSelLength(length).ok());
}

void clickButton(Toolbar *toolbar, int index)
{
    QWidget *button = toolbar->widgetForAction(toolbar->Buttons[index]);
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

QString clipboardText()
{
    return QApplication::clipboard()->text();
}

// Until the timer, while it runs, has ticked once more.
bool nextTick(QTimer &timer)
{
    if (!timer.isActive())
        return true;
    QSignalSpy tick(&timer, &QTimer::timeout);
    return tick.wait(2000);
}

} // namespace

class EditCommandsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void oneCtrlXAndTwoCtrlVCutOnceAndPasteTwiceAndOneCtrlZUndoesOnce()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        QCOMPARE(QApplication::focusWidget(), text);
        QApplication::clipboard()->clear();
        QTest::keyClicks(text, QStringLiteral("abcdef"));

        select(text, 0, 3);
        QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(text->Text(), QStringLiteral("def"));
        QCOMPARE(clipboardText(), QStringLiteral("abc"));
        QVERIFY(text->setSelStart(3).ok());
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->Text(), QStringLiteral("defabcabc"));
        QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text->Text(), QStringLiteral("defabc"));

        // Nothing is left pending: the toolbar's Cut and Paste work at once.
        QVERIFY(MenuEdit::CutAllowed && MenuEdit::PasteAllowed);
        select(text, 0, 3);
        clickButton(frame.Toolbar1, 7);
        QCOMPARE(text->Text(), QStringLiteral("abc"));
        QCOMPARE(clipboardText(), QStringLiteral("def"));
        QTRY_VERIFY(frame.Toolbar1->Buttons[9]->isEnabled());
        clickButton(frame.Toolbar1, 9);
        QCOMPARE(text->Text(), QStringLiteral("defabc"));
    }

    void undoAndRedoAlwaysOfferWhatTheNextUndoDoes_data()
    {
        QTest::addColumn<QStringList>("steps"); // typed text, ^Z, ^Y, a tick of the timer, or a button
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("undoOffered"); // else Redo is
        QTest::addColumn<QString>("afterOffered");
        QTest::newRow("Ctrl+Z, then Ctrl+Y") << QStringList {"abc", "tick", "^Z", "^Y"} << "abc" << true << "";
        QTest::newRow("Ctrl+Z twice") << QStringList {"abc", "tick", "^Z", "^Z"} << "abc" << true << "";
        QTest::newRow("Ctrl+Z before a tick") << QStringList {"abc", "^Z"} << "" << false << "abc";
        QTest::newRow("typing after Undo") << QStringList {"abc", "tick", "button 12", "x"} << "x" << true << "";
        QTest::newRow("typing after Redo") << QStringList {"abc", "tick", "^Z", "^Y", "d"} << "abcd" << true << "abc";
        QTest::newRow("Ctrl+Z in the menu bar") << QStringList {"abc", "tick", "menu bar", "^Z", "text", "tick"} << "abc"
                                                << true << "";
    }

    void undoAndRedoAlwaysOfferWhatTheNextUndoDoes()
    {
        QFETCH(QStringList, steps);
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        for (const QString &step : steps) {
            if (step == QStringLiteral("tick"))
                QVERIFY(nextTick(frame.tmrUndo));
            else if (step == QStringLiteral("menu bar"))
                frame.menuBar()->setFocus(Qt::MenuBarFocusReason);
            else if (step == QStringLiteral("text"))
                text->setFocus();
            else if (step == QStringLiteral("^Z") || step == QStringLiteral("^Y"))
                QTest::keyClick(QApplication::focusWidget(), step == QStringLiteral("^Z") ? Qt::Key_Z : Qt::Key_Y,
                                Qt::ControlModifier);
            else if (step.startsWith(QStringLiteral("button ")))
                clickButton(frame.Toolbar1, step.mid(7).toInt());
            else
                QTest::keyClicks(text, step);
        }
        QTEST(text->Text(), "text");
        QFETCH(bool, undoOffered);
        QCOMPARE(frame.mnuEdit1[0]->isEnabled(), undoOffered);
        QCOMPARE(frame.mnuEdit1[1]->isEnabled(), !undoOffered);
        QCOMPARE(frame.Toolbar1->Buttons[12]->isEnabled(), undoOffered);
        QCOMPARE(frame.Toolbar1->Buttons[13]->isEnabled(), !undoOffered);
        frame.mnuEdit1[undoOffered ? 0 : 1]->trigger();
        QTEST(text->Text(), "afterOffered");
    }

    void ctrlVWhilePasteIsOffLeavesTheNextPasteWorking()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        QApplication::clipboard()->clear();
        QVERIFY(nextTick(frame.tmrPaste));
        QVERIFY(!frame.mnuEdit1[5]->isEnabled());
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->Text(), QString());

        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QTRY_VERIFY(frame.Toolbar1->Buttons[9]->isEnabled());
        clickButton(frame.Toolbar1, 9);
        QCOMPARE(text->Text(), QStringLiteral("pasted"));
    }

    void aCtrlKeyReleasedInAnotherWindowLeavesLettersTypedAsLetters()
    {
        activeFrame();
        RichTextBox *text = textOf(document(1));
        QTest::keyClicks(text, QStringLiteral("abc"));
        // Ctrl+F opens the Find dialog, which gets the keys' release.
        QTest::keyPress(text, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(frmFindDlg::Loaded());
        QTest::keyRelease(frmFindDlg::Loaded()->Combo1, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(frmFindDlg::Loaded()->Combo1, Qt::Key_Escape);
        QTest::keyClicks(text, QStringLiteral("zv"));
        QCOMPARE(text->Text(), QStringLiteral("abczv"));
        QVERIFY(MenuEdit::PasteAllowed);
    }

    void deleteTakesALineBreakOrACharacterWholeAndASelectionExactly()
    {
        activeFrame();
        RichTextBox *text = textOf(document(1));
        text->setSelText(QStringLiteral("ab\r\ncd\r\nef x\U0001F600y"));
        QVERIFY(text->setSelStart(2).ok());
        QTest::keyClick(text, Qt::Key_Delete);
        QCOMPARE(text->Text(), QStringLiteral("abcd\r\nef x\U0001F600y"));

        select(text, 4, 4);
        QCOMPARE(text->SelText(), QStringLiteral("\r\nef"));
        QTest::keyClick(text, Qt::Key_Delete);
        QCOMPARE(text->Text(), QStringLiteral("abcd x\U0001F600y"));

        QVERIFY(text->setSelStart(6).ok());
        QTest::keyClick(text, Qt::Key_Delete);
        QCOMPARE(text->Text(), QStringLiteral("abcd xy"));

        Quillo::DocState[1].Modified = false;
        QSignalSpy changes(text, &RichTextBox::Change);
        QVERIFY(text->setSelStart(text->textLength()).ok());
        QTest::keyClick(text, Qt::Key_Delete);
        QCOMPARE(text->Text(), QStringLiteral("abcd xy"));
        QCOMPARE(changes.count(), 0);
        QVERIFY(!Quillo::DocState[1].Modified);
    }

    void cutAndCopyWithNothingSelectedLeaveAnEmptyClipboardText()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        text->setSelText(QStringLiteral("text"));
        QApplication::clipboard()->setText(QStringLiteral("old"));
        frame.mnuEdit1[4]->trigger();
        QCOMPARE(clipboardText(), QString());
        QApplication::clipboard()->setText(QStringLiteral("old"));
        frame.mnuEdit1[3]->trigger();
        QCOMPARE(clipboardText(), QString());
        QCOMPARE(text->Text(), QStringLiteral("text"));
    }

    void selectAllAndDateTimeWorkOnTheActiveDocument()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        frame.mnuEdit1[11]->trigger();
        QCOMPARE(text->SelStart(), 0);
        QCOMPARE(text->SelLength(), 0);
        text->setSelText(QStringLiteral("one\r\ntwo"));
        QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(text->SelStart(), 0);
        QCOMPARE(text->SelLength(), 8);

        Quillo::DocState[1].Modified = false;
        select(text, 0, 3);
        const QString before = GeneralDate(QDateTime::currentDateTime());
        frame.mnuEdit1[12]->trigger();
        const QString after = GeneralDate(QDateTime::currentDateTime());
        const QString inserted = text->Text().chopped(5);
        QVERIFY2(inserted == before || inserted == after, qPrintable(inserted));
        QVERIFY(text->Text().endsWith(QStringLiteral("\r\ntwo")));
        QVERIFY(Quillo::DocState[1].Modified);
    }

    void undoAndRedoFollowTheTimersAndTheActiveDocument()
    {
        frmMainNote &frame = activeFrame();
        MenuFile::FileNew();
        RichTextBox *text = textOf(document(2));
        QVERIFY(!frame.mnuEdit1[0]->isEnabled() && frame.tmrUndo.isActive());

        QTest::keyClicks(text, QStringLiteral("abc"));
        QVERIFY(nextTick(frame.tmrUndo));
        QVERIFY(frame.mnuEdit1[0]->isEnabled() && !frame.mnuEdit1[1]->isEnabled());
        QVERIFY(frame.Toolbar1->Buttons[12]->isEnabled());
        QVERIFY(!frame.tmrUndo.isActive());

        frame.mnuEdit1[0]->trigger();
        QCOMPARE(text->Text(), QString());
        QVERIFY(!frame.mnuEdit1[0]->isEnabled() && frame.mnuEdit1[1]->isEnabled());
        QVERIFY(!frame.Toolbar1->Buttons[12]->isEnabled() && frame.Toolbar1->Buttons[13]->isEnabled());
        clickButton(frame.Toolbar1, 13);
        QCOMPARE(text->Text(), QStringLiteral("abc"));
        QVERIFY(frame.mnuEdit1[0]->isEnabled() && !frame.mnuEdit1[1]->isEnabled());
        clickButton(frame.Toolbar1, 12);
        QCOMPARE(text->Text(), QString());

        // Another document comes forward: its undo history is gone.
        QTest::keyClicks(text, QStringLiteral("xyz"));
        frame.mdiArea()->setActiveSubWindow(document(1));
        QVERIFY(!frame.mnuEdit1[0]->isEnabled() && !frame.mnuEdit1[1]->isEnabled());
        QVERIFY(!frame.Toolbar1->Buttons[12]->isEnabled() && !frame.Toolbar1->Buttons[13]->isEnabled());
        frame.mdiArea()->setActiveSubWindow(document(2));
        QCOMPARE(SendMessageA(text->hwnd(), EM_CANUNDO), 0);

        // The font box cannot undo: with the focus there, Undo goes off.
        QTest::keyClicks(text, QStringLiteral("!"));
        QVERIFY(nextTick(frame.tmrUndo));
        QVERIFY(frame.mnuEdit1[0]->isEnabled());
        frame.cboFont->setFocus();
        QVERIFY(frame.tmrUndo.isActive());
        QVERIFY(nextTick(frame.tmrUndo));
        QVERIFY(!frame.mnuEdit1[0]->isEnabled());
    }

    void aRightClickOffersTheEditMenusOwnCommands()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        QTest::keyClicks(text, QStringLiteral("one two"));
        select(text, 0, 4);
        QVERIFY(nextTick(frame.tmrUndo));
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *item : menu->actions()) {
                if (!item->isSeparator())
                    offered << item->text() + (item->isEnabled() ? QString() : QStringLiteral(" (off)"));
            }
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(frame.mnuEdit1[3]).center());
        });
        // Through the window, as the window system gives it.
        QTest::mouseClick(frame.windowHandle(), Qt::RightButton, {}, text->viewport()->mapTo(&frame, QPoint(5, 5)));
        QCOMPARE(offered.join(u','), QStringLiteral("&Undo,&Redo (off),Cu&t,&Copy,&Paste,&Delete,Select &All"));
        QCOMPARE(text->Text(), QStringLiteral("two"));
        QCOMPARE(clipboardText(), QStringLiteral("one "));
    }

    void pasteFollowsTheClipboardWhileADocumentIsOpen()
    {
        frmMainNote &frame = activeFrame();
        QApplication::clipboard()->clear();
        QVERIFY(nextTick(frame.tmrPaste));
        QVERIFY(!frame.mnuEdit1[5]->isEnabled() && !frame.Toolbar1->Buttons[9]->isEnabled());
        QApplication::clipboard()->setText(QStringLiteral("from elsewhere"));
        QVERIFY(nextTick(frame.tmrPaste));
        QVERIFY(frame.mnuEdit1[5]->isEnabled() && frame.Toolbar1->Buttons[9]->isEnabled());

        document(1)->close();
        QVERIFY(Quillo::NoDocuments);
        QApplication::clipboard()->setText(QStringLiteral("more"));
        QTest::qWait(150);
        QVERIFY(!frame.mnuEdit1[5]->isEnabled() && !frame.Toolbar1->Buttons[9]->isEnabled());
    }
};

QUILLORY_SUITE(EditCommandsTest)
#include "tst_editcommands.moc"
