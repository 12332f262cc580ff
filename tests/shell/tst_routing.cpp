#include "files/registry.h"
#include "filebytes.h"
#include "platform/dates.h"
#include "platform/help.h"
#include "platform/helpwindow.h"
#include "programsuite.h"

#include <QDateTime>
#include <QMenuBar>
#include <QScrollBar>

class CommandRoutingTest : public ProgramSuite
{
    Q_OBJECT

private:
    // The active document as caption, modified mark and text with its
    // selection in brackets; the clipboard; the windows the command opened.
    static QString observed(frmMainNote &frame, const QString &recent, const QStringList &dialogs)
    {
        QStringList seen {QStringLiteral("none")};
        if (frmNotePad *active = frame.activeDocument()) {
            const QString all = active->Text1->Text();
            const qsizetype start = active->Text1->SelStart(), end = start + active->Text1->SelLength();
            seen = {frame.activeCaption() + (Quillo::DocState[active->Tag().toInt()].Modified ? "*" : ""),
                    all.left(start) + u'[' + all.mid(start, end - start) + u']' + all.mid(end)};
            // The window system gives the focus back after a dialog; the offscreen one does not.
            if (dialogs.isEmpty() && QApplication::focusWidget() != active->Text1)
                seen << QStringLiteral("focus elsewhere");
        }
        seen << u'"' + QApplication::clipboard()->text() + u'"' << dialogs;
        if (frmFindDlg::Loaded())
            seen << QStringLiteral("Find");
        if (Help::window() && Help::window()->isVisible())
            seen << (Help::window()->keywordPanel()->isVisible() ? QStringLiteral("index") : QStringLiteral("guide"));
        if (TestSeam::programEnds() > 0)
            seen << QStringLiteral("ended");
        QString joined = seen.join(u' ').replace(recent, QStringLiteral("<recent>"));
        for (int back : {0, 1})
            joined.replace(GeneralDate(QDateTime::currentDateTime().addSecs(-back)), QStringLiteral("<date>"));
        return joined;
    }

private slots:
    void everyMenuItemButtonAndShortcutReachesItsCommand_data()
    {
        QTest::addColumn<QString>("control"); // a menu and its items, a toolbar and its buttons, or keys
        QTest::addColumn<QString>("outcome");
        const QString untouched = QStringLiteral("Untitled1 [one ]two \"abc\"");
        QTest::newRow("File > New") << "File 0" << "Untitled2 [] \"abc\"";
        QTest::newRow("File > Open") << "File 1" << untouched + " frmOpenDlg";
        QTest::newRow("File > Close") << "File 2" << "none \"abc\"";
        QTest::newRow("File > Save") << "File 4" << untouched + " frmSaveDlg";
        QTest::newRow("File > Save As") << "File 5" << untouched + " frmSaveDlg";
        QTest::newRow("File > Print") << "File 7" << untouched + " frmPrintDlg";
        QTest::newRow("File > first recent file") << "File 11" << "<recent> []recent \"abc\"";
        QTest::newRow("File > Exit") << "File 17" << "none \"abc\" ended";
        QTest::newRow("File > Print without a document") << "File 2 7" << "none \"abc\"";
        QTest::newRow("Edit > Cut") << "Edit 3" << "Untitled1* []two \"one \"";
        QTest::newRow("Edit > Copy") << "Edit 4" << "Untitled1 [one ]two \"one \"";
        QTest::newRow("Edit > Paste") << "Edit 5" << "Untitled1* abc[]two \"abc\"";
        QTest::newRow("Edit > Delete") << "Edit 6" << "Untitled1* []two \"abc\"";
        QTest::newRow("Edit > Find") << "Edit 8" << untouched + " Find";
        QTest::newRow("Edit > Find Next") << "Edit 9" << "Untitled1 one [two] \"abc\"";
        QTest::newRow("Edit > Select All") << "Edit 11" << "Untitled1 [one two] \"abc\"";
        QTest::newRow("Edit > Insert Date/Time") << "Edit 12" << "Untitled1* <date>[]two \"abc\"";
        QTest::newRow("Edit > Go To") << "Edit 15" << untouched + " frmGoToDlg";
        QTest::newRow("Help > Contents") << "Help 0" << untouched + " guide";
        QTest::newRow("Help > Search For") << "Help 1" << untouched + " index";
        QTest::newRow("Help > About") << "Help 3" << untouched + " frmAbout";
        QTest::newRow("New button") << "Toolbar1 1" << "Untitled2 [] \"abc\"";
        QTest::newRow("Open button") << "Toolbar1 2" << untouched + " frmOpenDlg";
        QTest::newRow("Save button") << "Toolbar1 3" << untouched + " frmSaveDlg";
        QTest::newRow("Print button") << "Toolbar1 5" << untouched + " frmPrintDlg";
        QTest::newRow("Copy button") << "Toolbar1 8" << "Untitled1 [one ]two \"one \"";
        QTest::newRow("Delete button") << "Toolbar1 10" << "Untitled1* []two \"abc\"";
        // A document of one plain font: the format buttons change nothing.
        QTest::newRow("format buttons") << "Toolbar3 1 2 3 5 6" << untouched;
        QTest::newRow("Date/Time button") << "Toolbar3 8" << "Untitled1* <date>[]two \"abc\"";
        QTest::newRow("Find button") << "Toolbar3 10" << untouched + " Find";
        QTest::newRow("Ctrl+A") << "Keys Ctrl+A" << "Untitled1 [one two] \"abc\"";
        QTest::newRow("F1") << "Keys F1" << untouched + " guide";
        QTest::newRow("Ctrl+G") << "Keys Ctrl+G" << untouched + " frmGoToDlg";
    }

    void everyMenuItemButtonAndShortcutReachesItsCommand()
    {
        QFETCH(QString, control);
        frmMainNote &frame = activeFrame();
        const QString recent = pathTo(QStringLiteral("recent.txt"));
        QVERIFY(writeBytes(recent, "recent"));
        Registry::AddRecentFile(recent);
        Help::setProgramFolder(QStringLiteral(QUILLORY_PROGRAM_DIR));
        QTest::keyClicks(text(1), QStringLiteral("one two"));
        selectText(text(1), 0, 4);
        Quillo::DocState[1].Modified = false;
        MenuEdit::FindWhat[0] = QStringLiteral("two");
        QApplication::clipboard()->setText(QStringLiteral("abc"));
        QVERIFY(nextTick(frame.tmrUndo) && nextTick(frame.tmrPaste));
        QStringList dialogs;
        TestSeam::queueModalAction([&dialogs](QDialog &dialog) { dialogs << dialog.metaObject()->className(); });

        QStringList words = control.split(u' ');
        const QString where = words.takeFirst();
        const QMap<QString, std::pair<QMenu *, ActionArray *>> menus {
            {"File", {frame.mnuFile, &frame.mnuFile1}}, {"Edit", {frame.mnuEdit, &frame.mnuEdit1}},
            {"Help", {frame.mnuHelp, &frame.mnuHelp1}}};
        for (const QString &word : std::as_const(words)) {
            if (where == QStringLiteral("Keys")) {
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(word));
            } else if (where.startsWith(QStringLiteral("Toolbar"))) {
                clickButton(where.endsWith(u'1') ? frame.Toolbar1 : frame.Toolbar3, word.toInt());
            } else {
                const auto [menu, items] = menus[where];
                const QRect title = frame.menuBar()->actionGeometry(menu->menuAction());
                QTest::mouseClick(frame.menuBar(), Qt::LeftButton, {}, title.center());
                QTRY_VERIFY(menu->isVisible());
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry((*items)[word.toInt()]).center());
            }
        }
        QTEST(observed(frame, recent, dialogs), "outcome");
    }

    void typedKeysLandInTheDocumentThatCameForwardByCtrlNCtrlF6OrTheWindowMenu()
    {
        frmMainNote &frame = activeFrame();
        const auto press = [](QKeyCombination key) { QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers()); };
        const auto type = [](const QString &typed) { QTest::keyClicks(QApplication::focusWidget(), typed); };
        type(QStringLiteral("first"));
        press(Qt::CTRL | Qt::Key_N);
        type(QStringLiteral("second"));
        press(Qt::CTRL | Qt::Key_N);
        press(Qt::CTRL | Qt::Key_F6);
        QCOMPARE(frame.activeDocument(), document(1));
        press(Qt::CTRL | Qt::Key_F6);
        type(QStringLiteral(" again"));
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_F6);
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_F6);
        QCOMPARE(frame.activeDocument(), document(3));
        QCOMPARE(text(2)->Text(), QStringLiteral("second again"));

        // Chosen from the Window menu's list, which ticks the active one.
        emit frame.mnuWindow->aboutToShow();
        const QList<QAction *> items = frame.mnuWindow->actions();
        QCOMPARE(items.at(items.size() - 3)->text(), QStringLiteral("&1 Untitled1"));
        QVERIFY(!items.at(items.size() - 3)->isChecked() && items.last()->isChecked());
        items.at(items.size() - 3)->trigger();
        type(QStringLiteral(" too"));
        QCOMPARE(text(1)->Text(), QStringLiteral("first too"));

        // Ctrl+F4 asks first about a changed one; the next one comes forward.
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Cancel);
        press(Qt::CTRL | Qt::Key_F4);
        QVERIFY(document(1)->isLoaded());
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        press(Qt::CTRL | Qt::Key_F4);
        QVERIFY(!document(1)->isLoaded());
        QCOMPARE(said().size(), 2);
        type(QStringLiteral("!"));
        QCOMPARE(QApplication::focusWidget(), frame.activeDocument()->Text1);
        QVERIFY(frame.activeDocument()->Text1->Text().endsWith(u'!'));
    }

    void altWOpensTheWindowMenuThatIsShown()
    {
        frmMainNote &frame = activeFrame();
        // Each time, not only every other time.
        const auto altW = [&frame](QMenu *expected) {
            for (int time = 0; time < 2; ++time) {
                QTest::keyClick(&frame, Qt::Key_W, Qt::AltModifier);
                QTRY_VERIFY(expected->isVisible());
                expected->close();
            }
        };
        altW(frame.mnuWindow);
        document(1)->close();
        altW(frame.mnuWindow2);
        QVERIFY(!frame.mnuWindow3[0]->isEnabled());
        frame.mnuFile1[0]->trigger();
        altW(frame.mnuWindow);
    }

    void aMenuOpenedAndClosedFromTheKeyboardLeavesTheKeysAndUndoWithTheDocument()
    {
        frmMainNote &frame = activeFrame();
        QTest::keyClicks(text(1), QStringLiteral("abc"));
        QTest::keyClick(text(1), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(text(1)->Text(), QString());
        QTest::keyClick(&frame, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(frame.mnuEdit->isVisible());
        // The open menu offers what the document can do, however long it is open.
        QTest::qWait(150);
        QVERIFY(!frame.mnuEdit1[0]->isEnabled() && frame.mnuEdit1[1]->isEnabled());
        QTest::keyClick(frame.mnuEdit, Qt::Key_Escape);
        QTRY_COMPARE(QApplication::focusWidget(), text(1));
        QTest::keyClick(text(1), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(text(1)->Text(), QStringLiteral("abc"));
        QVERIFY(frame.mnuEdit1[0]->isEnabled() && !frame.mnuEdit1[1]->isEnabled());
    }

    void newDocumentsCascadeWithinTheAreaAndTheWindowMenuArrangesThem()
    {
        frmMainNote &frame = activeFrame(QSize(1000, 700));
        MenuFile::FileNew();
        MenuFile::FileNew();
        const QRect area = frame.mdiArea()->viewport()->rect();
        const QList<QMdiSubWindow *> windows = frame.mdiArea()->subWindowList();
        // As they come, and by Cascade: each at three quarters of the area, a
        // title bar below the one behind it, the active one in front.
        const auto cascaded = [&] {
            const QList<QMdiSubWindow *> stacked = frame.mdiArea()->subWindowList(QMdiArea::StackingOrder);
            const QPoint step = stacked[1]->pos() - stacked[0]->pos();
            QVERIFY(step.x() > 0 && step.x() == step.y());
            for (int i = 0; i < 3; ++i)
                QCOMPARE(stacked[i]->geometry(), QRect(i * step, area.size() * 3 / 4));
            QCOMPARE(stacked[2], frame.mdiArea()->activeSubWindow());
        };
        cascaded();
        // Tiles share the whole area, each as wide (or as high) as the area.
        for (int arrangement : {1, 2}) {
            frame.mnuWindow1[arrangement]->trigger();
            QRegion covered;
            for (QMdiSubWindow *window : windows) {
                QVERIFY(!covered.intersects(window->geometry()));
                covered += window->geometry();
                QCOMPARE(arrangement == 1 ? window->width() : window->height(), arrangement == 1 ? area.width() : area.height());
            }
            QCOMPARE(covered, QRegion(area));
        }
        frame.mnuWindow1[0]->trigger();
        cascaded();
        // Icons of minimised windows line up along the bottom, and tiles leave them room.
        windows[0]->showMinimized();
        windows[1]->showMinimized();
        windows[0]->move(300, 50);
        frame.mnuWindow1[3]->trigger();
        QVERIFY(windows[0]->geometry().bottom() == area.bottom() && windows[1]->geometry().bottom() == area.bottom());
        QVERIFY(!windows[0]->geometry().intersects(windows[1]->geometry()));
        frame.mnuWindow1[1]->trigger();
        QVERIFY(windows[2]->geometry().bottom() < windows[0]->geometry().top());
        // A new window that would leave the area starts again at the top left.
        for (int i = 0; i < 20; ++i)
            MenuFile::FileNew();
        for (QMdiSubWindow *window : frame.mdiArea()->subWindowList())
            QVERIFY(area.contains(window->geometry()));
        // One moved out of the area is reached by scrolling.
        windows[2]->move(area.bottomRight() + QPoint(200, 200));
        QTRY_VERIFY(frame.mdiArea()->horizontalScrollBar()->isVisible() && frame.mdiArea()->verticalScrollBar()->isVisible());
    }
};

QUILLORY_SUITE(CommandRoutingTest)
#include "tst_routing.moc"
