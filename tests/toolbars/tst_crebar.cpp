#include "platform/rebarwindow.h"
#include "platform/screen.h"
#include "toolbars/crebar.h"
#include "freshsuite.h"
#include "suites.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// A window 600 px wide inside its frame, with three toolbar containers of 26 px height.
struct Frame
{
    Frame()
    {
        window.resize(600, 400);
        for (int i = 0; i < 3; ++i) {
            containers[i] = new QWidget(&window);
            containers[i]->resize(100 + 20 * i, 26);
        }
        window.show();
        rebar.setParent(&window);
    }

    RebarWindow *bar() const { return static_cast<RebarWindow *>(rebar.hwnd()); }

    REBARBANDINFO band(int index, quint32 mask) const
    {
        REBARBANDINFO info;
        info.fMask = mask;
        SendMessageA(rebar.hwnd(), RB_GETBANDINFOA, uintptr_t(index), reinterpret_cast<intptr_t>(&info));
        return info;
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

    void withoutParentNothingIsCreatedAndNothingMoves()
    {
        CRebar rebar;
        QVERIFY(!rebar.Create());
        QVERIFY(!rebar.hwnd());
        QCOMPARE(rebar.GetRebarWindow().value<QWidget *>(), nullptr);
        rebar.Move(0, -2000, 0, 0);
        QWidget orphan;
        orphan.resize(50, 26);
        rebar.AddBands(QString(), 1, &orphan, 0);
        QCOMPARE(orphan.parentWidget(), nullptr);
        QVERIFY(!rebar.GetBandId(0).isValid());
    }

    void createdRebarSpansTheFrameInTwipsUntilResizeFitsIt()
    {
        Frame f;
        const int tpp = Screen::twipsPerPixelX();
        QVERIFY(f.rebar.Create());
        QCOMPARE(f.bar()->parentWidget(), &f.window);
        QCOMPARE(f.bar()->geometry(), QRect(0, 0, f.window.frameGeometry().width() * tpp, 60));
        QCOMPARE(f.rebar.GetRebarWindow().value<QWidget *>(), f.rebar.hwnd());

        f.rebar.AddBands(QString(), 1, f.containers[0], 0);
        // The offscreen platform draws a frame too, and its border is not room for bands.
        QVERIFY(f.window.frameGeometry().width() > 600);
        f.rebar.Resize(&f.window);
        QCOMPARE(f.bar()->geometry(), QRect(0, 0, 600, 30));

        f.rebar.Move(0, -2000, 0, 0);
        QCOMPARE(f.bar()->geometry(), QRect(0, -2000, 0, 0));
    }

    void bandsWithNewRow0StartRowsAndNewRow1SharesTheRowBefore()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        for (int i = 0; i < 3; ++i)
            f.rebar.AddBands(QString(), 10 + i, f.containers[i], 0);
        f.rebar.Resize(&f.window);
        QCOMPARE(f.bar()->rowCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.bar()->rowOf(i), i);
            QCOMPARE(f.bar()->bandRect(i), QRect(0, 30 * i, 600, 30));
            QCOMPARE(f.containers[i]->parentWidget(), f.bar());
            QVERIFY(f.containers[i]->isVisible());
        }

        Frame g;
        QVERIFY(g.rebar.Create());
        g.rebar.AddBands(QString(), 1, g.containers[0], 0);
        g.rebar.AddBands(QString(), 2, g.containers[1], 1);
        g.rebar.AddBands(QString(), 3, g.containers[2], 0);
        g.rebar.Resize(&g.window);
        QCOMPARE(g.bar()->rowCount(), 2);
        QCOMPARE(g.bar()->rowOf(1), 0);
        QCOMPARE(g.bar()->rowOf(2), 1);
        const QRect first = g.bar()->bandRect(0);
        const QRect second = g.bar()->bandRect(1);
        QCOMPARE(second.left(), first.right() + 1);
        QCOMPARE(second.right(), 599);
        // The child sits inside its band, right of the gripper, at its own width at least.
        const QRect child = g.containers[0]->geometry();
        QVERIFY(first.contains(child));
        QVERIFY(child.left() > first.left());
        QCOMPARE(child.width(), 100);
        QCOMPARE(child.height(), 26);
    }

    void mWidthSetsTheMinimumWidthToThatManyTimesTheTwipsPerPixel()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        f.rebar.AddBands(QString(), 1, f.containers[0], 0, 10);
        f.rebar.AddBands(QString(), 2, f.containers[1], 1);
        f.rebar.Resize(&f.window);
        const int expected = 10 * Screen::twipsPerPixelX();
        QCOMPARE(f.band(0, RBBIM_CHILDSIZE).cxMinChild, expected);
        QCOMPARE(f.band(1, RBBIM_CHILDSIZE).cxMinChild, 120);
        QCOMPARE(f.band(0, RBBIM_CHILDSIZE).cyMinChild, 26);
        QCOMPARE(f.containers[0]->width(), expected);
    }

    void draggingAGripperMovesTheBorderWithTheBandBefore()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        f.rebar.AddBands(QString(), 1, f.containers[0], 0);
        f.rebar.AddBands(QString(), 2, f.containers[1], 1);
        f.rebar.Resize(&f.window);
        const int firstWidth = f.bar()->bandRect(0).width();
        const QPoint grip = f.bar()->bandRect(1).topLeft() + QPoint(3, 10);

        QTest::mousePress(f.bar(), Qt::LeftButton, {}, grip);
        QTest::mouseMove(f.bar(), grip + QPoint(50, 0));
        QTest::mouseRelease(f.bar(), Qt::LeftButton, {}, grip + QPoint(50, 0));
        QCOMPARE(f.bar()->bandRect(0).width(), firstWidth + 50);
        QCOMPARE(f.bar()->bandRect(1).right(), 599);

        const QPoint moved = f.bar()->bandRect(1).topLeft() + QPoint(3, 10);
        QTest::mousePress(f.bar(), Qt::LeftButton, {}, moved);
        QTest::mouseMove(f.bar(), QPoint(1, 10));
        QTest::mouseRelease(f.bar(), Qt::LeftButton, {}, QPoint(1, 10));
        QCOMPARE(f.bar()->bandRect(0).width(), firstWidth);
    }

    void bandIdsFollowTheBandsAndRemoveBandsTakesTheFirst()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        for (int i = 0; i < 3; ++i)
            f.rebar.AddBands(QString(), 10 + i, f.containers[i], 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.rebar.GetBandId(i), QVariant(qint32(10 + i)));
        QVERIFY(!f.rebar.GetBandId(3).isValid());
        QVERIFY(!f.rebar.GetBandId(-1).isValid());

        f.rebar.RemoveBands();
        QCOMPARE(f.bar()->bandCount(), 2);
        QCOMPARE(f.rebar.GetBandId(0), QVariant(qint32(11)));
        QCOMPARE(f.containers[0]->parentWidget(), &f.window);
        QVERIFY(f.containers[0]->isHidden());
        QCOMPARE(f.bar()->rowOf(0), 0);
    }

    void rebarHeightIsTheSumOfItsRowsAsBandsComeAndGo()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        QSignalSpy heights(f.bar(), &RebarWindow::heightChanged);
        for (int i = 0; i < 3; ++i)
            f.rebar.AddBands(QString(), i, f.containers[i], 0);
        QCOMPARE(f.bar()->height(), 90);
        QCOMPARE(heights.count(), 3);
        QCOMPARE(heights.last().at(0).toInt(), 90);

        // A taller band on the second row makes only that row taller.
        QWidget tall(&f.window);
        tall.resize(40, 40);
        f.rebar.AddBands(QString(), 9, &tall, 1);
        QCOMPARE(f.bar()->rowOf(3), 2);
        QCOMPARE(f.bar()->height(), 30 + 30 + 44);

        f.rebar.RemoveBands(3);
        f.rebar.RemoveBands(0);
        QCOMPARE(f.bar()->height(), 60);
        QCOMPARE(heights.last().at(0).toInt(), 60);
    }

    void setBandColorsTakesTheCurrentButtonColours()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        f.rebar.AddBands(QString(), 1, f.containers[0], 0);
        f.rebar.AddBands(QString(), 2, f.containers[1], 0);
        QCOMPARE(f.band(0, RBBIM_COLORS).clrBack, QApplication::palette().color(QPalette::Button));

        const QPalette before = QApplication::palette();
        QPalette changed = before;
        changed.setColor(QPalette::Button, QColor(12, 34, 56));
        changed.setColor(QPalette::ButtonText, QColor(200, 210, 220));
        QApplication::setPalette(changed);
        f.rebar.SetBandColors();
        QApplication::setPalette(before);

        for (int i = 0; i < 2; ++i) {
            const REBARBANDINFO info = f.band(i, RBBIM_COLORS | RBBIM_ID);
            QCOMPARE(info.clrBack, QColor(12, 34, 56));
            QCOMPARE(info.clrFore, QColor(200, 210, 220));
            QCOMPARE(info.wID, quint32(i + 1));
        }
    }

    void destroyRebarGivesTheChildrenBackAndLeavesNoRebar()
    {
        Frame f;
        QVERIFY(f.rebar.Create());
        for (int i = 0; i < 3; ++i)
            f.rebar.AddBands(QString(), i, f.containers[i], 0);
        QPointer<QWidget> bar = f.rebar.hwnd();
        f.rebar.DestroyRebar();
        QVERIFY(!f.rebar.hwnd());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!bar);
        for (QWidget *container : f.containers) {
            QCOMPARE(container->parentWidget(), &f.window);
            QVERIFY(container->isHidden());
        }
        QVERIFY(!f.rebar.GetBandId(0).isValid());
    }

    void badMessagesAndRecordsAnswerZero()
    {
        RebarWindow bar;
        REBARBANDINFO info;
        QCOMPARE(SendMessageA(&bar, 0x0C), 0);
        QCOMPARE(SendMessageA(&bar, RB_INSERTBANDA, uintptr_t(-1), 0), 0);
        info.cbSize = 55;
        QCOMPARE(SendMessageA(&bar, RB_INSERTBANDA, uintptr_t(-1), reinterpret_cast<intptr_t>(&info)), 0);
        info.cbSize = 56;
        QCOMPARE(SendMessageA(&bar, RB_INSERTBANDA, uintptr_t(-1), reinterpret_cast<intptr_t>(&info)), 1);
        QCOMPARE(SendMessageA(&bar, RB_GETBANDCOUNT), 1);
        QCOMPARE(SendMessageA(&bar, RB_DELETEBAND, 1), 0);
        QCOMPARE(SendMessageA(&bar, RB_SETBANDINFOA, 1, reinterpret_cast<intptr_t>(&info)), 0);

        QWidget owner;
        QCOMPARE(SendMessageA(&bar, RB_SETPARENT, reinterpret_cast<uintptr_t>(&owner)), 0);
        QCOMPARE(SendMessageA(&bar, RB_SETPARENT, 0), reinterpret_cast<intptr_t>(&owner));
    }

    void onlyMaskedFieldsAreTakenFromARecord()
    {
        RebarWindow bar;
        QWidget child;
        REBARBANDINFO info;
        info.fMask = RBBIM_ID;
        info.wID = 7;
        info.hwndChild = &child;
        QCOMPARE(SendMessageA(&bar, RB_INSERTBANDA, 0, reinterpret_cast<intptr_t>(&info)), 1);
        QCOMPARE(child.parentWidget(), nullptr);

        REBARBANDINFO read;
        read.fMask = RBBIM_ID | RBBIM_CHILD;
        SendMessageA(&bar, RB_GETBANDINFOA, 0, reinterpret_cast<intptr_t>(&read));
        QCOMPARE(read.wID, quint32(7));
        QCOMPARE(read.hwndChild, nullptr);

        info.fMask = RBBIM_CHILD;
        info.wID = 8;
        SendMessageA(&bar, RB_SETBANDINFOA, 0, reinterpret_cast<intptr_t>(&info));
        SendMessageA(&bar, RB_GETBANDINFOA, 0, reinterpret_cast<intptr_t>(&read));
        QCOMPARE(read.wID, quint32(7));
        QCOMPARE(read.hwndChild, &child);
        QCOMPARE(child.parentWidget(), &bar);
    }
};

QUILLORY_SUITE(CRebarTest)
#include "tst_crebar.moc"
