#include "files/menufile.h"
#include "platform/rebarwindow.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/statusbar.h"
#include "programsuite.h"
#include "suites.h"

#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QTest>

namespace {

// The containers in the rebar's bands, top to bottom.
QList<int> bandsShown(frmMainNote &frame)
{
    QList<int> bands;
    auto *rebar = static_cast<RebarWindow *>(frame.MainRebar.hwnd());
    for (int i = 0; rebar && i < rebar->bandCount(); ++i)
        bands << frame.MainRebar.GetBandId(i).toInt();
    return bands;
}

QStringList captions(const ActionArray &items)
{
    QStringList list;
    for (int index : items.indices())
        list << QStringLiteral("%1 %2").arg(index).arg(items[index]->isSeparator() ? QStringLiteral("-") : items[index]->text());
    return list;
}

} // namespace

class FrameTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void theMenusHaveTheirItemsAtTheirIndicesWithShortcutsAndStates()
    {
        frmMainNote &frame = loadedFrame();
        QCOMPARE(captions(frame.mnuFile1),
                 (QStringList {"0 &New", "1 &Open...", "2 &Close", "3 -", "4 &Save...", "5 Save &As...", "6 -",
                               "7 &Print...", "10 -", "11 RecentFile1", "12 RecentFile2", "13 RecentFile3",
                               "14 RecentFile4", "15 RecentFile5", "16 -", "17 E&xit"}));
        QVERIFY(!frame.mnuFile1[8] && !frame.mnuFile1[9]);
        for (int index = 10; index <= 15; ++index)
            QVERIFY(!frame.mnuFile1[index]->isVisible());
        QCOMPARE(frame.mnuFile1[7]->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
        QCOMPARE(captions(frame.mnuEdit1),
                 (QStringList {"0 &Undo", "1 &Redo", "2 -", "3 Cu&t", "4 &Copy", "5 &Paste", "6 &Delete", "7 -",
                               "8 &Find...", "9 Find &Next", "10 -", "11 Select &All", "12 &Insert Date/Time"}));
        QVERIFY(!frame.mnuEdit1[0]->isEnabled() && !frame.mnuEdit1[1]->isEnabled());
        QCOMPARE(frame.mnuEdit1[6]->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(frame.mnuEdit1[9]->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(frame.mnuEdit1[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
        QVERIFY(frame.mnuView1[0]->isChecked() && frame.mnuView1[1]->isChecked() && frame.mnuView1[2]->isChecked());
        QVERIFY(frame.mnuView1[4]->isChecked() && !frame.mnuView1[4]->isVisible());
        QVERIFY(!frame.mnuView1[5]->isChecked());
        QVERIFY(!frame.mnuFormat->menuAction()->isVisible() && !frame.mnuFormat->isEnabled());
        QVERIFY(frame.mnuFormat1[2]->isChecked());
        QVERIFY(!frame.mnuInternet->menuAction()->isVisible() && !frame.mnuInternet->isEnabled());
        QCOMPARE(captions(frame.mnuWindow3), captions(frame.mnuWindow1));
        QVERIFY(!frame.mnuWindow2->menuAction()->isVisible() && !frame.mnuWindow3[0]->isEnabled());
        QCOMPARE(captions(frame.mnuHelp1),
                 (QStringList {"0 &Contents...", "1 &Search For...", "2 -", "3 &About Quillory..."}));
        QCOMPARE(frame.mnuHelp1[0]->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void theToolbarsHaveTheirButtonsTipsAndSeparatorsAtTheirIndices()
    {
        frmMainNote &frame = loadedFrame();
        const QStringList standard {"New", "Open", "Save", "-", "Print", "-", "Cut", "Copy", "Paste", "Delete", "-", "Undo", "Redo"};
        const QStringList format {"Bold", "Italic", "Underline", "-", "Text Color", "BackGround Color", "-",
                                  "Insert Date/Time", "-", "Find"};
        for (int index = 1; index <= standard.size(); ++index) {
            QAction *button = frame.Toolbar1->Buttons[index];
            QCOMPARE(button->isSeparator() ? QStringLiteral("-") : button->toolTip(), standard[index - 1]);
            QVERIFY(button->isSeparator() || !button->icon().isNull());
        }
        for (int index = 1; index <= format.size(); ++index) {
            QAction *button = frame.Toolbar3->Buttons[index];
            QCOMPARE(button->isSeparator() ? QStringLiteral("-") : button->toolTip(), format[index - 1]);
        }
        QVERIFY(frame.Toolbar2->Buttons[1] && frame.Toolbar2->Buttons[2] && frame.Toolbar2->Buttons[3]);
        QVERIFY(frame.Toolbar1->isVisible() && frame.Toolbar2->isVisible() && frame.Toolbar3->isVisible());
    }

    void theFontBoxesListEachFontOnceWithFixedsysChosenAndTheSizes()
    {
        frmMainNote &frame = loadedFrame();
        QCOMPARE(frame.cboFont->currentText(), QStringLiteral("Fixedsys"));
        QVERIFY(!frame.cboFont->isEditable());
        QCOMPARE(frame.cboFont->toolTip(), QStringLiteral("Screen Font"));
        QCOMPARE(frame.cboFont->count(), Screen::fontCount());
        QStringList sizes;
        for (int i = 0; i < frame.cboSize->count(); ++i)
            sizes << frame.cboSize->itemText(i);
        QCOMPARE(sizes.join(u' '), QStringLiteral("8 9 10 11 12 14 16 18 20 22 24 26 28 36 48 72"));
        QVERIFY(frame.cboSize->isEditable());
        QCOMPARE(frame.cboSize->currentText(), QStringLiteral("9"));
        QCOMPARE(frame.cboSize->toolTip(), QStringLiteral("Screen Font Size"));
    }

    void theStatusBarHasItsSixPanels()
    {
        frmMainNote &frame = loadedFrame();
        StatusBar *bar = frame.sbStatusBar;
        QCOMPARE(bar->panelCount(), 6);
        const QStringList texts {"Ready", "CAPS", "NUM", "INS", "SCRL"};
        const QStringList tips {"Postwick Status Bar", "Caps Lock", "Num Lock", "Insert Lock", "Scroll Lock", "Today's Date"};
        for (int i = 1; i <= 6; ++i) {
            if (i <= 5)
                QCOMPARE(bar->panel(i)->text(), texts[i - 1]);
            QCOMPARE(bar->panel(i)->toolTip(), tips[i - 1]);
        }
        QCOMPARE(bar->panel(6)->text(), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        // The insert panel follows the document's overwrite mode.
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        document(1)->Text1->setFocus();
        QTest::keyClick(document(1)->Text1, Qt::Key_Insert);
        QVERIFY(bar->panelLit(4));
        QTest::keyClick(document(1)->Text1, Qt::Key_Insert);
        QVERIFY(!bar->panelLit(4));
    }

    void hidingAndShowingToolbarsRebuildsTheBandsAndTheReservedHeight()
    {
        frmMainNote &frame = loadedFrame();
        QCOMPARE(bandsShown(frame), (QList<int> {0, 1, 2}));
        QCOMPARE(frame.picToolBarHeight(), 1470);

        frame.mnuView1_Click(1);
        QCOMPARE(bandsShown(frame), (QList<int> {0, 2}));
        QCOMPARE(frame.picToolBarHeight(), 980);
        QVERIFY(!frame.mnuView1[1]->isChecked());

        frame.mnuView1_Click(0);
        QCOMPARE(bandsShown(frame), QList<int> {2});
        QCOMPARE(frame.picToolBarHeight(), 490);
        frame.mnuView1_Click(2);
        QCOMPARE(bandsShown(frame), QList<int> {});
        QCOMPARE(frame.picToolBarHeight(), 0);

        frame.mnuView1_Click(2);
        QCOMPARE(bandsShown(frame), QList<int> {2});
        QCOMPARE(frame.picToolBarHeight(), 490);
        frame.mnuView1_Click(0);
        QCOMPARE(bandsShown(frame), (QList<int> {0, 2}));
        QCOMPARE(frame.picToolBarHeight(), 980);
        frame.mnuView1_Click(1);
        QCOMPARE(bandsShown(frame), (QList<int> {0, 1, 2}));
        QCOMPARE(frame.picToolBarHeight(), 1470);
        QVERIFY(frame.MainRebar.hwnd()->isVisible());
        QCOMPARE(frame.MainRebar.hwnd()->y(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(frame.hwnd()->findChildren<RebarWindow *>().size(), 1);
        for (QWidget *container : frame.picTBContainer)
            QVERIFY(container->isVisible());
    }

    void theStatusBarItemShowsAndHidesTheStatusBar()
    {
        frmMainNote &frame = loadedFrame();
        frame.mnuView1_Click(4);
        QVERIFY(!frame.sbStatusBar->isVisible());
        frame.mnuView1_Click(4);
        QVERIFY(frame.sbStatusBar->isVisible());
    }

    void wordWrapBelongsToEachDocumentAndTheMenuFollowsTheActiveOne()
    {
        frmMainNote &frame = loadedFrame();
        MenuFile::FileNew();
        frame.mnuView1_Click(5);
        QVERIFY(Quillo::DocState[2].WordWrap);
        QCOMPARE(document(2)->Text1->RightMargin(), 0);

        frame.mdiArea()->setActiveSubWindow(document(1));
        emit frame.mnuView->aboutToShow();
        QVERIFY(!frame.mnuView1[5]->isChecked());
        QCOMPARE(document(1)->Text1->RightMargin(), 65535);

        frame.mdiArea()->setActiveSubWindow(document(2));
        QCOMPARE(document(2)->Text1->RightMargin(), 0);
        emit frame.mnuView->aboutToShow();
        QVERIFY(frame.mnuView1[5]->isChecked());
        frame.mnuView1[5]->trigger();
        QVERIFY(!Quillo::DocState[2].WordWrap);
        QCOMPARE(document(2)->Text1->RightMargin(), 65535);
    }

    void narrowFramesKeepTheToolbarWidthsAndTheRebarFollowsTheFrame()
    {
        frmMainNote &frame = loadedFrame();
        const int tpp = Screen::twipsPerPixelX();
        const auto frameWidth = [&](int pixels) {
            frame.resize(pixels - (frame.frameGeometry().width() - frame.width()), frame.height());
            QCOMPARE(frame.frameGeometry().width(), pixels);
        };
        frameWidth(600);
        QCOMPARE(frame.Toolbar1->width(), qRound((600.0 * tpp - 110) / tpp));
        QCOMPARE(frame.MainRebar.hwnd()->width(), 600 - 8);

        const int atLimit = 3515 / tpp;
        frameWidth(atLimit);
        QCOMPARE(frame.Toolbar1->width(), qRound((600.0 * tpp - 110) / tpp));
        QCOMPARE(frame.MainRebar.hwnd()->width(), atLimit - 8);
        frameWidth(atLimit + 1);
        QCOMPARE(frame.Toolbar3->width(), qRound(((atLimit + 1.0) * tpp - 110) / tpp));
    }
};

QUILLORY_SUITE(FrameTest)
#include "tst_frame.moc"
