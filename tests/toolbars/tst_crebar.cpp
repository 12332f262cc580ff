#include "platform/rebarwindow.h"
#include "platform/screen.h"
#include "toolbars/crebar.h"
#include "freshsuite.h"
#include "suites.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A window 600 px wide inside its frame, with three toolbar containers of
// 26 px height, and a rebar on it with a band for each NewRow given.
struct Frame
{
    explicit Frame(const QList<int> &newRows = {})
    {
        window.resize(600, 400);
        for (int i = 0; i < 3; ++i)
            (containers[i] = new QWidget(&window))->resize(100 + 20 * i, 26);
        window.show();
        rebar.setParent(&window);
        rebar.Create();
        for (int i = 0; i < newRows.size(); ++i)
            rebar.AddBands(QString(), i + 1, containers[i], newRows[i]);
        if (!newRows.isEmpty())
            rebar.Resize(&window);
    }

    RebarWindow *bar() const { return static_cast<RebarWindow *>(rebar.hwnd()); }

    // The bands' ids, row by row: "1 2|3".
    QString rows()
    {
        QString shown;
        for (int i = 0; i < bar()->bandCount(); ++i)
            shown += QString(i == 0 ? "" : bar()->rowOf(i) == bar()->rowOf(i - 1) ? " " : "|") + rebar.GetBandId(i).toString();
        return shown;
    }

    QWidget window;
    QWidget *containers[3] = {};
    CRebar rebar;
};

} // namespace

class CRebarTest : public FreshStateSuite
{
    Q_OBJECT

private slots:
    void createdRebarSpansTheFrameInTwipsUntilResizeFitsItAndMoveGoesAnywhere()
    {
        Frame f;
        QCOMPARE(f.bar()->parentWidget(), &f.window);
        QCOMPARE(f.bar()->geometry(), QRect(0, 0, f.window.frameGeometry().width() * Screen::twipsPerPixelX(), 60));
        f.rebar.AddBands(QString(), 1, f.containers[0], 0);
        // The offscreen platform draws a frame too, and its border is not room for bands.
        QVERIFY(f.window.frameGeometry().width() > 600);
        f.rebar.Resize(&f.window);
        QCOMPARE(f.bar()->geometry(), QRect(0, 0, 600, 30));
        f.rebar.Move(0, -2000, 0, 0);
        QCOMPARE(f.bar()->geometry(), QRect(0, -2000, 0, 0));
    }

    void bandsComeInTheirOrderAndOnlyNewRowOneSharesTheRowBefore_data()
    {
        QTest::addColumn<QList<int>>("newRows");
        QTest::addColumn<QString>("rows");
        QTest::newRow("each a row of its own") << QList<int> {0, 0, 0} << "1|2|3";
        QTest::newRow("the second sharing") << QList<int> {0, 1, 0} << "1 2|3";
        QTest::newRow("a NewRow other than 1 starts a row") << QList<int> {0, 2, 0} << "1|2|3";
        QTest::newRow("all sharing one row") << QList<int> {0, 1, 1} << "1 2 3";
    }

    void bandsComeInTheirOrderAndOnlyNewRowOneSharesTheRowBefore()
    {
        QFETCH(QList<int>, newRows);
        Frame f(newRows);
        QTEST(f.rows(), "rows");
        QCOMPARE(f.bar()->height(), 30 * f.bar()->rowCount());
        for (int i = 0; i < 3; ++i) {
            const QRect band = f.bar()->bandRect(i);
            const bool sharesWithBefore = i > 0 && f.bar()->rowOf(i - 1) == f.bar()->rowOf(i);
            QCOMPARE(band.top(), 30 * f.bar()->rowOf(i));
            QCOMPARE(band.height(), 30);
            QCOMPARE(band.left(), sharesWithBefore ? f.bar()->bandRect(i - 1).right() + 1 : 0);
            const bool lastInRow = i == 2 || f.bar()->rowOf(i + 1) != f.bar()->rowOf(i);
            QCOMPARE(band.right() == 599, lastInRow);
            // The child sits inside its band, right of the gripper, at its own
            // size, or wider at the end of the row.
            const QRect child = f.containers[i]->geometry();
            QVERIFY(band.contains(child) && child.left() > band.left() && f.containers[i]->isVisible());
            QCOMPARE(child.height(), 26);
            QVERIFY(lastInRow ? child.width() >= 100 + 20 * i : child.width() == 100 + 20 * i);
        }
    }

    void mWidthSetsTheMinimumWidthToThatManyTimesTheTwipsPerPixel()
    {
        Frame f;
        f.rebar.AddBands(QString(), 1, f.containers[0], 0, 10);
        f.rebar.AddBands(QString(), 2, f.containers[1], 1);
        f.rebar.Resize(&f.window);
        QCOMPARE(f.containers[0]->width(), 10 * Screen::twipsPerPixelX());
    }

    void draggingAGripperMovesTheBorderWithTheBandBefore()
    {
        Frame f({0, 1});
        const int firstWidth = f.bar()->bandRect(0).width();
        for (int by : {50, -300}) {
            const QPoint grip = f.bar()->bandRect(1).topLeft() + QPoint(3, 10);
            QTest::mousePress(f.bar(), Qt::LeftButton, {}, grip);
            QTest::mouseMove(f.bar(), grip + QPoint(by, 0));
            QTest::mouseRelease(f.bar(), Qt::LeftButton, {}, grip + QPoint(by, 0));
            QCOMPARE(f.bar()->bandRect(0).width(), firstWidth + (by > 0 ? by : 0));
            QCOMPARE(f.bar()->bandRect(1).right(), 599);
        }
    }

    void aTallBandMakesOnlyItsRowTaller()
    {
        Frame f({0, 0, 0});
        QSignalSpy heights(f.bar(), &RebarWindow::heightChanged);
        QWidget tall(&f.window);
        tall.resize(40, 40);
        f.rebar.AddBands(QString(), 9, &tall, 1);
        QCOMPARE(f.rows(), QStringLiteral("1|2|3 9"));
        QCOMPARE(heights.last().at(0).toInt(), 30 + 30 + 44);
    }
};

QUILLORY_SUITE(CRebarTest)
#include "tst_crebar.moc"
