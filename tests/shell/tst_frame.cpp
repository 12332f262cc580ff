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
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

// The containers in the rebar's bands, row by row: "0 1|2".
QString bandsShown(frmMainNote &frame)
{
    QString rows;
    auto *rebar = static_cast<RebarWindow *>(frame.MainRebar.hwnd());
    for (int i = 0; rebar && i < rebar->bandCount(); ++i) {
        if (i > 0)
            rows += rebar->rowOf(i) == rebar->rowOf(i - 1) ? u' ' : u'|';
        rows += QString::number(frame.MainRebar.GetBandId(i).toInt());
    }
    return rows;
}

} // namespace

class FrameTest : public ProgramSuite
{
    Q_OBJECT

private slots:
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

    void theInsertPanelFollowsTheDocumentsOverwriteMode()
    {
        frmMainNote &frame = activeFrame();
        StatusBar *bar = frame.sbStatusBar;
        QCOMPARE(bar->panel(6)->text(), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        QTest::keyClick(document(1)->Text1, Qt::Key_Insert);
        QVERIFY(bar->panelLit(4));
        QTest::keyClick(document(1)->Text1, Qt::Key_Insert);
        QVERIFY(!bar->panelLit(4));
    }

    void hidingAndShowingToolbarsRebuildsTheBandsAndTheReservedHeight()
    {
        frmMainNote &frame = loadedFrame();
        QCOMPARE(bandsShown(frame), QStringLiteral("0|1|2"));
        QCOMPARE(frame.picToolBarHeight(), 1470);

        frame.mnuView1_Click(1);
        QCOMPARE(bandsShown(frame), QStringLiteral("0|2"));
        QCOMPARE(frame.picToolBarHeight(), 980);
        QVERIFY(!frame.mnuView1[1]->isChecked());

        frame.mnuView1_Click(0);
        QCOMPARE(bandsShown(frame), QStringLiteral("2"));
        QCOMPARE(frame.picToolBarHeight(), 490);
        frame.mnuView1_Click(2);
        QCOMPARE(bandsShown(frame), QString());
        QCOMPARE(frame.picToolBarHeight(), 0);

        frame.mnuView1_Click(2);
        QCOMPARE(bandsShown(frame), QStringLiteral("2"));
        QCOMPARE(frame.picToolBarHeight(), 490);
        frame.mnuView1_Click(0);
        QCOMPARE(bandsShown(frame), QStringLiteral("0|2"));
        QCOMPARE(frame.picToolBarHeight(), 980);
        frame.mnuView1_Click(1);
        QCOMPARE(bandsShown(frame), QStringLiteral("0|1|2"));
        QCOMPARE(frame.picToolBarHeight(), 1470);

        // A toolbar shown below the one that is left keeps the order.
        frame.mnuView1_Click(1);
        frame.mnuView1_Click(2);
        QCOMPARE(bandsShown(frame), QStringLiteral("0"));
        frame.mnuView1_Click(2);
        QCOMPARE(bandsShown(frame), QStringLiteral("0|2"));
        QCOMPARE(frame.picToolBarHeight(), 980);
        frame.mnuView1_Click(1);
        QCOMPARE(bandsShown(frame), QStringLiteral("0|1|2"));
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
        QCOMPARE(frame.Toolbar1->givenWidth(), qRound((600.0 * tpp - 110) / tpp));
        QCOMPARE(frame.MainRebar.hwnd()->width(), frame.hwnd()->width());

        const int atLimit = 3515 / tpp;
        frameWidth(atLimit);
        QCOMPARE(frame.Toolbar1->givenWidth(), qRound((600.0 * tpp - 110) / tpp));
        QCOMPARE(frame.MainRebar.hwnd()->width(), frame.hwnd()->width());
        frameWidth(atLimit + 1);
        QCOMPARE(frame.Toolbar3->givenWidth(), qRound(((atLimit + 1.0) * tpp - 110) / tpp));
    }

    void aNarrowFrameLeavesEveryToolbarButtonWithinReach_data()
    {
        QTest::addColumn<int>("toolbar");
        QTest::addColumn<bool>("besideStandard"); // dragged there while the frame was wide
        QTest::addColumn<int>("frameWidth");      // or as narrow as the frame goes
        QTest::newRow("standard") << 0 << false << 180;
        QTest::newRow("font") << 1 << false << 180;
        QTest::newRow("format") << 2 << false << 180;
        QTest::newRow("font, beside the standard") << 1 << true << 450;
        QTest::newRow("font, beside the standard, wrapped") << 1 << true << 180;
    }

    void aNarrowFrameLeavesEveryToolbarButtonWithinReach()
    {
        QFETCH(int, toolbar);
        QFETCH(bool, besideStandard);
        QFETCH(int, frameWidth);
        frmMainNote &frame = loadedFrame();
        auto *rebar = static_cast<RebarWindow *>(frame.MainRebar.hwnd());
        if (besideStandard) {
            QTest::mousePress(rebar, Qt::LeftButton, {}, rebar->bandRect(toolbar).topLeft() + QPoint(3, 5));
            QTest::mouseMove(rebar, QPoint(400, 5));
            QTest::mouseRelease(rebar, Qt::LeftButton, {}, QPoint(400, 5));
        }
        frame.resize(frameWidth, frame.height());
        Toolbar *bar = QList<Toolbar *> {frame.Toolbar1, frame.Toolbar2, frame.Toolbar3}[toolbar];
        QWidget *container = frame.picTBContainer[toolbar];
        const auto inSight = [container, rebar](QWidget *widget) {
            const auto within = [widget](QWidget *area) {
                return area->rect().contains(QRect(widget->mapTo(area, QPoint()), widget->size()));
            };
            return widget->isVisible() && within(container) && within(rebar);
        };
        QList<QAction *> hidden;
        for (QAction *action : bar->actions()) {
            if (!action->isSeparator() && !inSight(bar->widgetForAction(action)))
                hidden << action;
        }
        if (hidden.isEmpty())
            return;

        // The chevron offers every button that is out of sight, and one chosen there does its command.
        auto *chevron = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
        QVERIFY(inSight(chevron));
        const auto enabled = std::find_if(hidden.cbegin(), hidden.cend(), [](QAction *a) { return a->isEnabled(); });
        QVERIFY(enabled != hidden.cend());
        QSignalSpy chosen(*enabled, &QAction::triggered);
        QList<QAction *> offered;
        QTimer::singleShot(0, this, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                offered = menu->actions();
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*enabled).center());
            }
        });
        QTest::mouseClick(chevron, Qt::LeftButton);
        for (QAction *action : hidden)
            QVERIFY2(offered.contains(action), qPrintable(action->toolTip()));
        QCOMPARE(chosen.count(), 1);
    }

    void draggingAGripperMovesItsBandToAnotherRowAndTheDocumentsFollow_data()
    {
        QTest::addColumn<int>("band");
        QTest::addColumn<QList<QPointF>>("path"); // x in pixels, y in rows
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("left"); // where the dragged band ends

        QTest::newRow("up beside the band there") << 1 << QList<QPointF> {{300, 0.5}} << "0 1|2" << 297;
        QTest::newRow("to the start of the row above") << 2 << QList<QPointF> {{2, 1.5}} << "0|2 1" << 0;
        QTest::newRow("above the first row") << 2 << QList<QPointF> {{300, -0.2}} << "2|0|1" << 0;
        QTest::newRow("below the last row") << 0 << QList<QPointF> {{300, 3.2}} << "1|2|0" << 0;
        // The rows close up under the pointer; the band stays where it came.
        QTest::newRow("down into the next row and on a little") << 0 << QList<QPointF> {{300, 1.1}, {300, 1.5}}
                                                                << "1 0|2" << 297;
    }

    void draggingAGripperMovesItsBandToAnotherRowAndTheDocumentsFollow()
    {
        QFETCH(int, band);
        QFETCH(QList<QPointF>, path);
        QFETCH(QString, rows);
        QFETCH(int, left);
        frmMainNote &frame = loadedFrame();
        auto *rebar = static_cast<RebarWindow *>(frame.MainRebar.hwnd());
        const int rowPixels = rebar->height() / 3;
        const auto at = [rowPixels](QPointF p) { return QPoint(int(p.x()), qRound(p.y() * rowPixels)); };

        QTest::mousePress(rebar, Qt::LeftButton, {}, rebar->bandRect(band).topLeft() + QPoint(3, rowPixels / 2));
        for (QPointF p : path)
            QTest::mouseMove(rebar, at(p));
        QTest::mouseRelease(rebar, Qt::LeftButton, {}, at(path.last()));
        QCOMPARE(bandsShown(frame), rows);
        const int moved = int(rows.indexOf(QString::number(band))) / 2; // its place among the bands
        QCOMPARE(rebar->bandRect(moved).left(), left);
        const int rowCount = int(rows.count(u'|')) + 1;
        QCOMPARE(frame.picToolBarHeight(), 490 * rowCount);
        QTRY_COMPARE(frame.mdiArea()->y(), Screen::pixelsY(490 * rowCount));

        // Showing or hiding a toolbar lays the bands out afresh, one to a row.
        frame.mnuView1_Click(1);
        frame.mnuView1_Click(1);
        QCOMPARE(bandsShown(frame), QStringLiteral("0|1|2"));
        QTRY_COMPARE(frame.mdiArea()->y(), Screen::pixelsY(1470));
    }
};

QUILLORY_SUITE(FrameTest)
#include "tst_frame.moc"
