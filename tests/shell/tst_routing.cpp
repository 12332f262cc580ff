#include "document/frmfinddlg.h"
#include "document/menuedit.h"
#include "files/menufile.h"
#include "platform/help.h"
#include "platform/helpwindow.h"
#include "platform/msgbox.h"
#include "platform/program.h"
#include "platform/richtextbox.h"
#include "programsuite.h"
#include "shell/frmabout.h"
#include "suites.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QTest>

namespace {

void clickButton(Toolbar *toolbar, int index)
{
    QWidget *button = toolbar->widgetForAction(toolbar->Buttons[index]);
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

RichTextBox *textOf(frmNotePad *document)
{
    return document ? document->Text1 : nullptr;
}

// The documents' windows as the Window menu lists them: caption and tick.
QList<std::pair<QString, bool>> windowList(frmMainNote &frame)
{
    emit frame.mnuWindow->aboutToShow();
    QList<std::pair<QString, bool>> entries;
    bool pastItems = false;
    for (QAction *action : frame.mnuWindow->actions()) {
        if (action->isSeparator())
            pastItems = true;
        else if (pastItems)
            entries.append({action->text(), action->isChecked()});
    }
    return entries;
}

} // namespace

class CommandRoutingTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void fileMenuItemsCreateCloseAndExit()
    {
        frmMainNote &frame = activeFrame();
        frame.mnuFile1[0]->trigger();
        QCOMPARE(frame.activeDocument(), document(2));
        QCOMPARE(document(2)->Caption(), QStringLiteral("Untitled2"));

        QTest::keyClicks(textOf(document(2)), QStringLiteral("changed"));
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        frame.mnuFile1[2]->trigger();
        QVERIFY(!document(2)->isLoaded());
        QCOMPARE(TestSeam::shownMessages().size(), 1);

        QTest::keyClicks(textOf(document(1)), QStringLiteral("changed too"));
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        frame.mnuFile1[17]->trigger();
        QCOMPARE(TestSeam::shownMessages().size(), 2);
        QCOMPARE(TestSeam::shownMessages().last().title, QStringLiteral("Untitled1"));
        QCOMPARE(TestSeam::programEnds(), 1);
    }

    void editMenuItemsReachTheirCommands()
    {
        // Cut, Copy, Select All and Insert Date/Time are driven from their
        // items by the edit commands' tests.
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        QApplication::clipboard()->setText(QStringLiteral("abc"));
        frame.mnuEdit1[5]->trigger();
        frame.mnuEdit1[5]->trigger();
        QCOMPARE(text->Text(), QStringLiteral("abcabc"));
        // Undo and Redo are one command.
        frame.mnuEdit1[0]->setEnabled(true);
        frame.mnuEdit1[0]->trigger();
        QCOMPARE(text->Text(), QStringLiteral("abc"));
        frame.mnuEdit1[1]->trigger();
        QCOMPARE(text->Text(), QStringLiteral("abcabc"));
        QVERIFY(text->setSelStart(0).ok());
        frame.mnuEdit1[6]->trigger();
        QCOMPARE(text->Text(), QStringLiteral("bcabc"));

        // Find Next with nothing to find yet opens the Find dialog.
        frame.mnuEdit1[9]->trigger();
        QVERIFY(frmFindDlg::Loaded() && frmFindDlg::Loaded()->isVisible());
        frmFindDlg::Loaded()->close();
        QTRY_VERIFY(!frmFindDlg::Loaded());
        MenuEdit::FindWhat[0] = QStringLiteral("cab");
        QVERIFY(text->setSelStart(0).ok());
        frame.mnuEdit1[9]->trigger();
        QCOMPARE(text->SelText(), QStringLiteral("cab"));
        QVERIFY(!frmFindDlg::Loaded());
        frame.mnuEdit1[8]->trigger();
        QVERIFY(frmFindDlg::Loaded());
    }

    void toolbarButtonsReachTheirCommands()
    {
        // Cut, Paste, Undo and Redo are clicked by the edit commands' tests.
        frmMainNote &frame = activeFrame();
        RichTextBox *text = textOf(document(1));
        text->setSelText(QStringLiteral("one two"));
        QVERIFY(text->setSelStart(0).ok());
        QVERIFY(text->setSelLength(4).ok());
        clickButton(frame.Toolbar1, 8);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("one "));
        QVERIFY(text->setSelStart(0).ok());
        clickButton(frame.Toolbar1, 10);
        QCOMPARE(text->Text(), QStringLiteral("ne two"));

        // The format buttons change nothing of a document of one plain font.
        const QFont font = text->font();
        for (int button : {1, 2, 3, 5, 6})
            clickButton(frame.Toolbar3, button);
        QCOMPARE(text->Text(), QStringLiteral("ne two"));
        QCOMPARE(text->font(), font);
        QVERIFY(text->setSelStart(0).ok());
        clickButton(frame.Toolbar3, 8);
        QVERIFY(text->Text().endsWith(QStringLiteral("ne two")) && text->Text().size() > 6);
        clickButton(frame.Toolbar3, 10);
        QVERIFY(frmFindDlg::Loaded());

        clickButton(frame.Toolbar1, 1);
        QCOMPARE(frame.activeDocument(), document(2));
        QCOMPARE(QApplication::focusWidget(), textOf(document(2)));
    }

    void typedKeysLandInTheDocumentThatCameForward()
    {
        frmMainNote &frame = activeFrame();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("first"));
        QCOMPARE(textOf(document(1))->Text(), QStringLiteral("first"));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("second"));
        QCOMPARE(textOf(document(2))->Text(), QStringLiteral("second"));

        // Chosen from the Window menu's list.
        const auto list = windowList(frame);
        QCOMPARE(list, (QList<std::pair<QString, bool>> {{"&1 Untitled1", false}, {"&2 Untitled2", true}}));
        frame.mnuWindow->actions().at(frame.mnuWindow->actions().size() - 2)->trigger();
        QCOMPARE(frame.activeDocument(), document(1));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" again"));
        QCOMPARE(textOf(document(1))->Text(), QStringLiteral("first again"));

        // Another one closed.
        frame.mnuFile1[0]->trigger();
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        frame.mnuFile1[2]->trigger();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("!"));
        QVERIFY(textOf(frame.activeDocument())->Text().endsWith(u'!'));
        QCOMPARE(QApplication::focusWidget(), textOf(frame.activeDocument()));
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
        QVERIFY(Quillo::NoDocuments);
        altW(frame.mnuWindow2);
        QVERIFY(!frame.mnuWindow3[0]->isEnabled());
        frame.mnuFile1[0]->trigger();
        altW(frame.mnuWindow);
    }

    void tilingShareTheAreaWithoutOverlapAndCascadeKeepsEveryWindowInside()
    {
        frmMainNote &frame = activeFrame(QSize(1000, 700));
        frame.mnuFile1[0]->trigger();
        frame.mnuFile1[0]->trigger();
        const QRect area = frame.mdiArea()->viewport()->rect();
        const QList<QMdiSubWindow *> windows = frame.mdiArea()->subWindowList();
        QCOMPARE(windows.size(), 3);
        for (int arrangement : {1, 2}) {
            frame.mnuWindow1[arrangement]->trigger();
            int covered = 0;
            for (QMdiSubWindow *window : windows) {
                QVERIFY(area.contains(window->geometry()));
                covered += window->width() * window->height();
                for (QMdiSubWindow *other : windows)
                    QVERIFY(window == other || !window->geometry().intersects(other->geometry()));
                if (arrangement == 1)
                    QCOMPARE(window->width(), area.width());
                else
                    QCOMPARE(window->height(), area.height());
            }
            QCOMPARE(covered, area.width() * area.height());
        }
        // Cascade: each at a new document's size, a title bar below the one
        // behind it, the active one in front.
        frame.mnuWindow1[0]->trigger();
        const QList<QMdiSubWindow *> stacked = frame.mdiArea()->subWindowList(QMdiArea::StackingOrder);
        const QPoint step = stacked[1]->pos() - stacked[0]->pos();
        QVERIFY(step.x() > 0 && step.x() == step.y());
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(stacked[i]->geometry(), QRect(stacked[0]->pos() + i * step, area.size() * 3 / 4));
            QVERIFY(area.contains(stacked[i]->geometry()));
        }
        QCOMPARE(stacked[0]->pos(), QPoint(0, 0));
        QCOMPARE(stacked[2], frame.mdiArea()->activeSubWindow());

        // Icons of minimised windows line up along the bottom.
        windows[0]->showMinimized();
        windows[1]->showMinimized();
        windows[0]->move(300, 50);
        frame.mnuWindow1[3]->trigger();
        QCOMPARE(windows[0]->geometry().bottom(), area.bottom());
        QCOMPARE(windows[1]->geometry().bottom(), area.bottom());
        QVERIFY(!windows[0]->geometry().intersects(windows[1]->geometry()));
        frame.mnuWindow1[1]->trigger();
        QCOMPARE(windows[2]->width(), area.width());
        QVERIFY(windows[2]->geometry().bottom() < windows[0]->geometry().top());
    }

    void theFrameOpensCentredAndNewDocumentsCascade()
    {
        {
            const std::unique_ptr<frmMainNote> frame(new frmMainNote);
            const QRect room = frame->screen()->availableGeometry();
            QVERIFY(qAbs(frame->geometry().center().x() - room.center().x()) <= 1);
            QVERIFY(qAbs(frame->geometry().center().y() - room.center().y()) <= 1);
            QVERIFY(qAbs(frame->width() - room.width() * 3 / 4) <= 1);
            QVERIFY(qAbs(frame->height() - room.height() * 3 / 4) <= 1);
        }

        frmMainNote &shown = activeFrame(QSize(1000, 700));
        const QSize area = shown.mdiArea()->viewport()->size();
        QCOMPARE(document(1)->size(), area * 3 / 4);
        QCOMPARE(document(1)->pos(), QPoint(0, 0));
        MenuFile::FileNew();
        const QPoint step = document(2)->pos() - document(1)->pos();
        QVERIFY(step.x() > 0 && step.x() == step.y());
        QCOMPARE(document(2)->size(), area * 3 / 4);
        // A window that would leave the area starts again at the top left.
        for (int i = 0; i < 20; ++i)
            MenuFile::FileNew();
        for (QMdiSubWindow *window : shown.mdiArea()->subWindowList())
            QVERIFY(QRect(QPoint(0, 0), area).contains(window->geometry()));
        // One moved out of the area is reached by scrolling.
        document(1)->move(area.width() + 200, area.height() + 200);
        QTRY_VERIFY(shown.mdiArea()->horizontalScrollBar()->maximum() > 0);
        QTRY_VERIFY(shown.mdiArea()->verticalScrollBar()->maximum() > 0);
    }

    void ctrlF4ClosesTheDocumentAndCtrlF6GoesRoundThem()
    {
        frmMainNote &frame = activeFrame();
        MenuFile::FileNew();
        MenuFile::FileNew();
        const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };
        press(Qt::Key_F6, Qt::ControlModifier);
        QCOMPARE(frame.activeDocument(), document(1));
        press(Qt::Key_F6, Qt::ControlModifier);
        QCOMPARE(frame.activeDocument(), document(2));
        press(Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(frame.activeDocument(), document(3));
        QCOMPARE(QApplication::focusWidget(), textOf(document(3)));

        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("changed"));
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Cancel);
        press(Qt::Key_F4, Qt::ControlModifier);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QVERIFY(document(3)->isLoaded());
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        press(Qt::Key_F4, Qt::ControlModifier);
        QVERIFY(!document(3)->isLoaded());
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    }

    void helpShowsTheGuideOrSaysWhyNot()
    {
        frmMainNote &frame = activeFrame();
        Help::setProgramFolder(fresh().folder());
        QTest::keyClick(textOf(document(1)), Qt::Key_F1);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QCOMPARE(TestSeam::shownMessages().last().text, QStringLiteral("File not found: 'QLRY.hlp'"));
        QCOMPARE(TestSeam::shownMessages().last().style, MsgBoxStyle::OkOnly);
        QCOMPARE(TestSeam::shownMessages().last().title, defaultMsgBoxTitle());

        App::HelpFile.clear();
        frame.mnuHelp1[1]->trigger();
        QCOMPARE(TestSeam::shownMessages().last().text,
                 QStringLiteral("Unable to display Help Contents. There is no Help associated with this project."));
        QCOMPARE(TestSeam::shownMessages().last().style, MsgBoxStyle::Information);
        QCOMPARE(TestSeam::shownMessages().last().title, QStringLiteral("Tallowmere Quillory 98/7"));
        App::HelpFile = QStringLiteral("QLRY.hlp");

        Help::setProgramFolder(QStringLiteral(QUILLORY_PROGRAM_DIR));
        frame.mnuHelp1[0]->trigger();
        QVERIFY(Help::window() && Help::window()->isVisible());
        QVERIFY(!Help::window()->keywordPanel()->isVisible());
        frame.mnuHelp1[1]->trigger();
        QVERIFY(Help::window()->keywordPanel()->isVisible());
        QCOMPARE(TestSeam::shownMessages().size(), 2);
    }

    void theAboutBoxSaysWhoWeAreInItsDesignedOrder()
    {
        frmMainNote &frame = activeFrame();
        QString label;
        QString title;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            auto *about = qobject_cast<frmAbout *>(&dialog);
            QVERIFY(about);
            title = about->windowTitle();
            label = about->Label1->text();
            QCOMPARE(about->cmdOK->toolTip(), QStringLiteral("Returns back to main program"));
            QTest::mouseClick(about->cmdOK, Qt::LeftButton);
        });
        frame.mnuHelp1[3]->trigger();
        QCOMPARE(TestSeam::modalWindowsLeftOpen(), 0);
        QCOMPARE(title, QStringLiteral("About Tallowmere Quillory 98/7"));
        // Every line ends in CR LF; the last line is an empty one.
        const QStringList lines = label.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[9], QString());
        QCOMPARE(lines[10], QString());
        QCOMPARE(lines[0], QStringLiteral("Tallowmere Quillory 98/7"));
        QVERIFY(!lines[1].isEmpty());
        QCOMPARE(lines[2], QString());
        QCOMPARE(lines[3], QStringLiteral("We also welcome enquires and suggestions. Please send them to any of"));
        QCOMPARE(lines[4], QStringLiteral("the following addresses: "));
        QVERIFY(lines[5].contains(u'@') && lines[6].contains(QStringLiteral("://")));
        QCOMPARE(lines[7], QString());
        QVERIFY(!lines[8].isEmpty());
    }
};

QUILLORY_SUITE(CommandRoutingTest)
#include "tst_routing.moc"
