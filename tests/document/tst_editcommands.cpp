#include "programsuite.h"

#include <QMenuBar>

class EditCommandsTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void oneCtrlXAndTwoCtrlVCutOnceAndPasteTwiceAndOneCtrlZUndoesOnce()
    {
        frmMainNote &frame = activeFrame();
        RichTextBox *text = this->text(1);
        QCOMPARE(QApplication::focusWidget(), text);
        QTest::keyClicks(text, QStringLiteral("abcdef"));
        selectText(text, 0, 3);
        QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc"));
        QVERIFY(text->setSelStart(3).ok());
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text->Text(), QStringLiteral("defabcabc"));
        QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text->Text(), QStringLiteral("defabc"));

        // Nothing is left pending: the toolbar's Cut and Paste work at once.
        QVERIFY(MenuEdit::CutAllowed && MenuEdit::PasteAllowed);
        selectText(text, 0, 3);
        clickButton(frame.Toolbar1, 7);
        QCOMPARE(text->Text(), QStringLiteral("abc"));
        QTRY_VERIFY(frame.Toolbar1->Buttons[9]->isEnabled());
        clickButton(frame.Toolbar1, 9);
        QCOMPARE(text->Text(), QStringLiteral("defabc"));
    }

    void undoAndRedoAlwaysOfferWhatTheNextUndoDoes_data()
    {
        // Typed text, ^Z, ^Y, a tick of the timer, a button, a new document
        // coming forward and going again, or the focus going elsewhere.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("offered"); // Undo, Redo or neither
        QTest::addColumn<QString>("afterOffered");
        QTest::newRow("Ctrl+Z, then Ctrl+Y") << QStringList {"abc", "tick", "^Z", "^Y"} << "abc" << "Undo" << "";
        QTest::newRow("Ctrl+Z twice") << QStringList {"abc", "tick", "^Z", "^Z"} << "abc" << "Undo" << "";
        QTest::newRow("Ctrl+Z, then the Redo button") << QStringList {"abc", "tick", "^Z", "button 13"} << "abc" << "Undo" << "";
        QTest::newRow("Ctrl+Z before a tick") << QStringList {"abc", "^Z"} << "" << "Redo" << "abc";
        QTest::newRow("typing after Undo") << QStringList {"abc", "tick", "button 12", "x"} << "x" << "Undo" << "";
        QTest::newRow("typing after Redo") << QStringList {"abc", "tick", "^Z", "^Y", "d"} << "abcd" << "Undo" << "abc";
        // The menu bar has the keys only on their way to a menu: they act on the document.
        QTest::newRow("Ctrl+Z in the menu bar") << QStringList {"abc", "tick", "menu bar", "tick", "^Z", "text", "tick"} << ""
                                                << "Redo" << "abc";
        QTest::newRow("another document came forward") << QStringList {"abc", "tick", "new", "back"} << "abc" << "" << "";
        QTest::newRow("the font box has the focus") << QStringList {"abc", "tick", "font box", "tick"} << "abc" << "" << "";
    }

    void undoAndRedoAlwaysOfferWhatTheNextUndoDoes()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, offered);
        frmMainNote &frame = activeFrame();
        RichTextBox *text = this->text(1);
        for (const QString &step : steps) {
            if (step == QStringLiteral("tick"))
                QVERIFY(nextTick(frame.tmrUndo));
            else if (step == QStringLiteral("menu bar"))
                frame.menuBar()->setFocus(Qt::MenuBarFocusReason);
            else if (step == QStringLiteral("text"))
                text->setFocus();
            else if (step == QStringLiteral("font box"))
                frame.cboFont->setFocus();
            else if (step == QStringLiteral("new"))
                MenuFile::FileNew();
            else if (step == QStringLiteral("back"))
                frame.mdiArea()->setActiveSubWindow(document(1));
            else if (step == QStringLiteral("^Z") || step == QStringLiteral("^Y"))
                QTest::keyClick(QApplication::focusWidget(), step == QStringLiteral("^Z") ? Qt::Key_Z : Qt::Key_Y,
                                Qt::ControlModifier);
            else if (step.startsWith(QStringLiteral("button ")))
                clickButton(frame.Toolbar1, step.mid(7).toInt());
            else
                QTest::keyClicks(text, step);
        }
        QTEST(text->Text(), "text");
        QCOMPARE(frame.mnuEdit1[0]->isEnabled(), offered == QStringLiteral("Undo"));
        QCOMPARE(frame.mnuEdit1[1]->isEnabled(), offered == QStringLiteral("Redo"));
        QCOMPARE(frame.Toolbar1->Buttons[12]->isEnabled(), offered == QStringLiteral("Undo"));
        QCOMPARE(frame.Toolbar1->Buttons[13]->isEnabled(), offered == QStringLiteral("Redo"));
        if (offered.isEmpty())
            return;
        frame.mnuEdit1[offered == QStringLiteral("Undo") ? 0 : 1]->trigger();
        QTEST(text->Text(), "afterOffered");
    }

    void pasteFollowsTheClipboardWhileADocumentIsOpenAndCtrlVWaitsForIt()
    {
        frmMainNote &frame = activeFrame();
        QApplication::clipboard()->clear();
        QVERIFY(nextTick(frame.tmrPaste));
        QVERIFY(!frame.mnuEdit1[5]->isEnabled() && !frame.Toolbar1->Buttons[9]->isEnabled());
        QTest::keyClick(text(1), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text(1)->Text(), QString());

        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QVERIFY(nextTick(frame.tmrPaste));
        QVERIFY(frame.mnuEdit1[5]->isEnabled());
        clickButton(frame.Toolbar1, 9);
        QCOMPARE(text(1)->Text(), QStringLiteral("pasted"));

        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        document(1)->close();
        QApplication::clipboard()->setText(QStringLiteral("more"));
        QTest::qWait(150);
        QVERIFY(!frame.mnuEdit1[5]->isEnabled() && !frame.Toolbar1->Buttons[9]->isEnabled());
    }

    void aCtrlKeyReleasedInAnotherWindowLeavesLettersTypedAsLetters()
    {
        activeFrame();
        QTest::keyClicks(text(1), QStringLiteral("abc"));
        // Ctrl+F opens the Find dialog, which gets the keys' release.
        QTest::keyPress(text(1), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(frmFindDlg::Loaded());
        QTest::keyRelease(frmFindDlg::Loaded()->Combo1, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(frmFindDlg::Loaded()->Combo1, Qt::Key_Escape);
        QTest::keyClicks(text(1), QStringLiteral("zv"));
        QCOMPARE(text(1)->Text(), QStringLiteral("abczv"));
        QVERIFY(MenuEdit::PasteAllowed);
    }

    void deleteTakesALineBreakOrACharacterWholeAndASelectionExactly_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("left");
        QTest::newRow("a line break") << 2 << 0 << "abcd\r\nx\U0001F600y";
        QTest::newRow("a selection holding a break") << 5 << 3 << "ab\r\ncx\U0001F600y";
        QTest::newRow("a character beyond the basic plane") << 9 << 0 << "ab\r\ncd\r\nxy";
        QTest::newRow("nothing at the end") << 12 << 0 << "ab\r\ncd\r\nx\U0001F600y";
    }

    void deleteTakesALineBreakOrACharacterWholeAndASelectionExactly()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        activeFrame();
        text(1)->setSelText(QStringLiteral("ab\r\ncd\r\nx\U0001F600y"));
        Quillo::DocState[1].Modified = false;
        selectText(text(1), start, length);
        QTest::keyClick(text(1), Qt::Key_Delete);
        QTEST(text(1)->Text(), "left");
        QCOMPARE(Quillo::DocState[1].Modified, QTest::currentDataTag() != QByteArray("nothing at the end"));
    }

    void cutAndCopyWithNothingSelectedLeaveAnEmptyClipboardText()
    {
        frmMainNote &frame = activeFrame();
        text(1)->setSelText(QStringLiteral("text"));
        for (int item : {3, 4}) {
            QApplication::clipboard()->setText(QStringLiteral("old"));
            frame.mnuEdit1[item]->trigger();
            QCOMPARE(QApplication::clipboard()->text(), QString());
        }
        QCOMPARE(text(1)->Text(), QStringLiteral("text"));
    }

    void aRightClickOffersTheEditMenusOwnCommands()
    {
        frmMainNote &frame = activeFrame();
        QTest::keyClicks(text(1), QStringLiteral("one two"));
        selectText(text(1), 0, 4);
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
        QTest::mouseClick(frame.windowHandle(), Qt::RightButton, {}, text(1)->viewport()->mapTo(&frame, QPoint(5, 5)));
        QCOMPARE(offered.join(u','), QStringLiteral("&Undo,&Redo (off),Cu&t,&Copy,&Paste,&Delete,Select &All"));
        QCOMPARE(text(1)->Text(), QStringLiteral("two"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("one "));
    }
};

QUILLORY_SUITE(EditCommandsTest)
#include "tst_editcommands.moc"
