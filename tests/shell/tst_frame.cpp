#include "platform/rebarwindow.h"
#include "platform/statusbar.h"
#include "programsuite.h"
#include "shell/artwork.h"
#include "shell/frmabout.h"
#include "shell/frmbackground.h"
#include "shell/frmsplash.h"

#include <QAccessible>
#include <QScrollBar>
#include <QWheelEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
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

// How far apart two pictures of one size are: the mean difference of their
// channels, in levels of 255.
double distance(const QImage &one, const QImage &other)
{
    const QImage a = one.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage b = other.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    qint64 apart = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int i = 0; i < a.width() * 4; ++i)
            apart += qAbs(a.constScanLine(y)[i] - b.constScanLine(y)[i]);
    }
    return double(apart) / (a.width() * 4.0 * a.height());
}

// Presses keys as named in a key sequence ("Ctrl+End", "Ctrl+Num++"), one
// word of script at a time, letting what each key set off happen as a
// user's typing would; a word after a quote is typed as one key's text.
void pressKeys(QWidget *widget, const QString &script)
{
    for (const QString &word : script.split(u' ', Qt::SkipEmptyParts)) {
        if (word.startsWith(u'\'')) {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, word.mid(1), Qt::NoModifier);
        } else {
            const QKeyCombination key = QKeySequence(word)[0];
            QTest::keyClick(widget, key.key(), key.keyboardModifiers());
        }
        QCoreApplication::processEvents();
    }
}

// What a panel shows once the events in hand are done, and no later.
QString shownNow(const QLabel *panel)
{
    QCoreApplication::processEvents();
    return panel->text();
}

// A turn of the wheel over a view, in eighths of a degree (a notch is 120).
void turnWheel(QAbstractScrollArea *view, int delta, Qt::KeyboardModifiers modifiers)
{
    const QPointF at = view->viewport()->rect().center();
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view->viewport(), &wheel);
}

} // namespace

class FrameTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void theStatePanelsShowAndSayTheirStateAndANarrowBarCutsThemOff()
    {
        frmMainNote &frame = activeFrame();
        StatusBar &bar = *frame.sbStatusBar;
        QCOMPARE(bar.panel(6)->text(), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        // Greyed or not, and said in words for those who cannot see it.
        const auto said = [&bar] {
            QStringList words;
            for (int index = 2; index <= 5; ++index)
                words << QAccessible::queryAccessibleInterface(bar.panel(index))->text(QAccessible::Name);
            return words.join(u',');
        };
        QCOMPARE(said(), QStringLiteral("Caps Lock off,Num Lock off,Overwrite off,Scroll Lock off"));
        QTest::keyClick(text(1), Qt::Key_Insert);
        QVERIFY(bar.panelLit(4));
        QCOMPARE(said(), QStringLiteral("Caps Lock off,Num Lock off,Overwrite on,Scroll Lock off"));
        QTest::keyClick(text(1), Qt::Key_Insert);
        QVERIFY(!bar.panelLit(4));

        // However narrow, no panel is drawn over another or past the bar.
        frame.resize(220, frame.height());
        QTRY_COMPARE(bar.width(), frame.width());
        QRegion covered;
        for (int index = 1; index <= bar.panelCount(); ++index) {
            const QRect place = bar.panel(index)->geometry();
            if (place.isEmpty())
                continue;
            QVERIFY2(!covered.intersects(place) && bar.rect().contains(place), qPrintable(QString::number(index)));
            covered += place;
        }
    }

    void eachToolbarShownOrHiddenKeepsTheOthersInOrderOneToARow_data()
    {
        QTest::addColumn<QList<int>>("items"); // of the View menu, chosen in turn
        QTest::addColumn<QString>("rows");
        QTest::newRow("the font toolbar hidden") << QList<int> {1} << "0|2";
        QTest::newRow("the standard one hidden too") << QList<int> {1, 0} << "2";
        QTest::newRow("all hidden") << QList<int> {1, 0, 2} << "";
        QTest::newRow("one shown again") << QList<int> {1, 0, 2, 2} << "2";
        QTest::newRow("shown below the one that is left") << QList<int> {1, 2, 2} << "0|2";
        QTest::newRow("shown between two") << QList<int> {1, 2, 2, 1} << "0|1|2";
    }

    void eachToolbarShownOrHiddenKeepsTheOthersInOrderOneToARow()
    {
        QFETCH(QList<int>, items);
        QFETCH(QString, rows);
        frmMainNote &frame = loadedFrame();
        for (int item : items)
            frame.mnuView1[item]->trigger();
        QCOMPARE(bandsShown(frame), rows);
        const int shown = rows.isEmpty() ? 0 : int(rows.count(u'|')) + 1;
        QCOMPARE(frame.picToolBarHeight(), 490 * shown);
        for (int toolbar = 0; toolbar < 3; ++toolbar) {
            QCOMPARE(frame.mnuView1[toolbar]->isChecked(), rows.contains(QString::number(toolbar)));
            QCOMPARE(frame.picTBContainer[toolbar]->isVisible(), rows.contains(QString::number(toolbar)));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(frame.hwnd()->findChildren<RebarWindow *>().size(), 1);
        if (shown > 0)
            QCOMPARE(frame.MainRebar.hwnd()->y(), 0);
    }

    void wordWrapBelongsToEachDocumentAndTheMenuFollowsTheActiveOne()
    {
        frmMainNote &frame = loadedFrame();
        MenuFile::FileNew();
        frame.mnuView1[5]->trigger();
        QCOMPARE(text(2)->RightMargin(), 0);
        for (int slot : {1, 2}) {
            frame.mdiArea()->setActiveSubWindow(document(slot));
            emit frame.mnuView->aboutToShow();
            QCOMPARE(frame.mnuView1[5]->isChecked(), slot == 2);
            QCOMPARE(text(slot)->RightMargin(), slot == 2 ? 0 : 65535);
        }
        frame.mnuView1[5]->trigger();
        QCOMPARE(text(2)->RightMargin(), 65535);
        QVERIFY(!Quillo::DocState[2].WordWrap);
    }

    void theCaretPanelCountsTheLineAndCharactersOfTheCaretAndShowsTheZoom_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::newRow("arrows") << "Down Right Right" << "Ln 2, Col 3";
        QTest::newRow("End, Home") << "Down End Home Right" << "Ln 2, Col 2";
        QTest::newRow("Ctrl+End, Backspace") << "Ctrl+End Backspace Backspace" << "Ln 3, Col 2";
        QTest::newRow("a tab and a surrogate pair are a character each")
            << QStringLiteral("Down End Tab '\U0001F600 'x Left") << "Ln 2, Col 6";
        QTest::newRow("back over a pair, after Home and End")
            << QStringLiteral("Down End '\U0001F600 'x Home End Left Left Backspace") << "Ln 2, Col 3";
        QTest::newRow("moved by the program") << "@7" << "Ln 2, Col 3";
        QTest::newRow("Go To line 3") << "Right #2" << "Ln 3, Col 1";
        QTest::newRow("Ctrl+= twice") << "Ctrl+= Ctrl+= Right" << "Ln 1, Col 2  125 %";
        QTest::newRow("keypad plus, Ctrl+- thrice") << "Ctrl+Num++ Ctrl+- Ctrl+- Ctrl+-" << "Ln 1, Col 1  80 %";
        QTest::newRow("Ctrl+0") << "Ctrl++ Ctrl+0" << "Ln 1, Col 1";
        QTest::newRow("no further than 500 %") << QString("Ctrl++ ").repeated(20) << "Ln 1, Col 1  500 %";
        QTest::newRow("nor below 10 %") << QString("Ctrl+- ").repeated(20) << "Ln 1, Col 1  10 %";
    }

    void theCaretPanelCountsTheLineAndCharactersOfTheCaretAndShowsTheZoom()
    {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        frmMainNote &frame = activeFrame();
        QLabel *panel = frame.sbStatusBar->panel(frame.sbStatusBar->panelCount());
        RichTextBox *box = text(1);
        box->setSelText(QStringLiteral("abc\r\ndef\r\nghi"));
        QCOMPARE(shownNow(panel), QStringLiteral("Ln 3, Col 4"));
        QVERIFY(box->setSelStart(0).ok());
        QCOMPARE(shownNow(panel), QStringLiteral("Ln 1, Col 1"));
        if (keys.startsWith(u'@'))
            QVERIFY(box->setSelStart(keys.mid(1).toInt()).ok());
        else
            pressKeys(QApplication::focusWidget(), keys.section(u'#', 0, 0));
        if (keys.contains(u'#'))
            QVERIFY(box->goToLine(keys.section(u'#', 1).toInt(), 3));
        QCOMPARE(shownNow(panel), shown);
        QCOMPARE(panel->toolTip(), QStringLiteral("Caret position"));
    }

    void theCaretPanelFollowsAClickAndTheActiveDocumentAndEmptiesWithTheLast()
    {
        frmMainNote &frame = loadedFrame();
        // No focus moves in a frame while another window is the active one.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QLabel *panel = frame.sbStatusBar->panel(frame.sbStatusBar->panelCount());
        text(1)->setSelText(QStringLiteral("first line\r\nsecond line"));
        text(1)->setZoom(200);
        QCOMPARE(shownNow(panel), QStringLiteral("Ln 2, Col 12  200 %"));
        MenuFile::FileNew();
        QCOMPARE(shownNow(panel), QStringLiteral("Ln 1, Col 1"));
        frame.mdiArea()->setActiveSubWindow(document(1));
        QCOMPARE(shownNow(panel), QStringLiteral("Ln 2, Col 12  200 %"));
        // Past the end of the first row: the end of the first line.
        const QRect caret = text(1)->cursorRect();
        QTest::mouseClick(text(1)->viewport(), Qt::LeftButton, {}, QPoint(text(1)->viewport()->width() - 4, caret.height() / 2));
        QCOMPARE(shownNow(panel), QStringLiteral("Ln 1, Col 11  200 %"));
        document(2)->close();
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::No);
        document(1)->close();
        QVERIFY(Quillo::NoDocuments);
        QCOMPARE(shownNow(panel), QString());
    }

    void zoomingScalesTheViewButNotTheDocumentsFontNorScrollsIt_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("wheel");
        QTest::addColumn<int>("zoom");
        QTest::newRow("Ctrl+wheel, a notch up twice") << QString() << 120 << 125;
        QTest::newRow("Ctrl+wheel, a fine turn down in halves") << QString() << -60 << 90;
        QTest::newRow("Ctrl++ thrice") << "Ctrl++ Ctrl++ Ctrl++" << 0 << 150;
        QTest::newRow("Ctrl+- twice") << "Ctrl+- Ctrl+-" << 0 << 80;
    }

    void zoomingScalesTheViewButNotTheDocumentsFontNorScrollsIt()
    {
        QFETCH(QString, keys);
        QFETCH(int, wheel);
        QFETCH(int, zoom);
        frmMainNote &frame = activeFrame();
        RichTextBox *box = text(1);
        QString lines;
        for (int line = 1; line <= 300; ++line)
            lines += QStringLiteral("line %1\twith a tab\r\n").arg(line);
        box->setSelText(lines);
        QVERIFY(box->setSelStart(lines.size() / 2).ok());
        const int scrolled = box->verticalScrollBar()->value();
        const QRect caret = box->cursorRect();
        const QString fontShown = frame.fontSizeShown();
        const double size = box->fontSize();
        QSignalSpy told(box, &TextView::zoomChanged);
        pressKeys(box, keys);
        for (int turned = 0; wheel != 0 && turned < 2; ++turned) {
            turnWheel(box, wheel, Qt::ControlModifier);
            // Half a notch with Ctrl is not yet a step, and no scroll either.
            if (qAbs(wheel) < 120 && turned == 0)
                QVERIFY(box->zoom() == 100 && box->verticalScrollBar()->value() == scrolled);
        }
        QCOMPARE(box->zoom(), zoom);
        QVERIFY(!told.isEmpty() && told.last().at(0).toInt() == zoom);
        QVERIFY2(zoom > 100 ? box->cursorRect().height() > caret.height() : box->cursorRect().height() < caret.height(),
                 qPrintable(QStringLiteral("%1 -> %2").arg(caret.height()).arg(box->cursorRect().height())));
        // The caret stays in sight, the font as the document has it.
        QVERIFY(box->viewport()->rect().contains(box->cursorRect()));
        QCOMPARE(box->fontSize(), size);
        QCOMPARE(box->font().pointSizeF(), size);
        QCOMPARE(frame.fontSizeShown(), fontShown);
        // A new size while zoomed is zoomed too.
        QVERIFY(box->setFontSize(size * 2).ok());
        QCOMPARE(box->zoom(), zoom);
        // The wheel without Ctrl scrolls again and zooms no more.
        const int before = box->verticalScrollBar()->value();
        turnWheel(box, -120, Qt::NoModifier);
        QVERIFY(box->verticalScrollBar()->value() > before);
        QCOMPARE(box->zoom(), zoom);
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

    void theWindowMenuListsNineDocumentsTheActiveOneAmongThemAndMoreWindows_data()
    {
        QTest::addColumn<int>("documents");
        QTest::addColumn<int>("active");     // clicked into last
        QTest::addColumn<QString>("listed"); // the slots below the menu's own items, the checked one starred
        QTest::newRow("nine") << 9 << 4 << "1 2 3 4* 5 6 7 8 9";
        QTest::newRow("ten, the last active") << 10 << 10 << "1 2 3 4 5 6 7 8 10* More";
        QTest::newRow("twelve, the fifth active") << 12 << 5 << "1 2 3 4 5* 6 7 8 9 More";
        QTest::newRow("twelve, the eleventh active") << 12 << 11 << "1 2 3 4 5 6 7 8 11* More";
    }

    void theWindowMenuListsNineDocumentsTheActiveOneAmongThemAndMoreWindows()
    {
        QFETCH(int, documents);
        QFETCH(int, active);
        QFETCH(QString, listed);
        frmMainNote &frame = activeFrame();
        for (int slot = 2; slot <= documents; ++slot)
            MenuFile::FileNew();
        document(1)->showMinimized();
        QTest::mouseClick(text(active)->viewport(), Qt::LeftButton);
        QTest::keyClick(&frame, Qt::Key_W, Qt::AltModifier);
        QTRY_VERIFY(frame.mnuWindow->isVisible());
        const QList<QAction *> items = frame.mnuWindow->actions();
        QVERIFY(items.size() > 5 && items[4]->isSeparator());
        QStringList shown;
        for (qsizetype i = 5; i < items.size(); ++i) {
            const QString slot = items[i]->text().section(QStringLiteral(" Untitled"), 1);
            QCOMPARE(items[i]->text(), slot.isEmpty() ? QStringLiteral("&More Windows...") : QStringLiteral("&%1 Untitled%2").arg(i - 4).arg(slot));
            shown << (slot.isEmpty() ? QStringLiteral("More") : slot + (items[i]->isChecked() ? QStringLiteral("*") : QString()));
        }
        QCOMPARE(shown.join(u' '), listed);

        // Its number brings one forward, minimised or not, and typing goes there.
        QTest::keyClick(frame.mnuWindow, Qt::Key_1);
        QCOMPARE(frame.activeDocument(), document(1));
        QVERIFY(!document(1)->isMinimized());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("one"));
        QCOMPARE(text(1)->Text(), QStringLiteral("one"));
    }

    void moreWindowsOffersEveryDocumentAndOkBringsTheChosenOneForward_data()
    {
        QTest::addColumn<QStringList>("answer"); // keys, or "OK" or "double click ROW", in "Select Window"
        QTest::addColumn<int>("active");         // the slot in front afterwards
        QTest::newRow("Up twice and Enter") << QStringList {"Up", "Up", "Return"} << 10;
        QTest::newRow("Home and OK") << QStringList {"Home", "OK"} << 1;
        QTest::newRow("a double click") << QStringList {"double click 9"} << 10;
        QTest::newRow("Up and Escape") << QStringList {"Up", "Escape"} << 12;
    }

    void moreWindowsOffersEveryDocumentAndOkBringsTheChosenOneForward()
    {
        QFETCH(QStringList, answer);
        QFETCH(int, active);
        frmMainNote &frame = activeFrame();
        for (int slot = 2; slot <= 12; ++slot)
            MenuFile::FileNew();
        QString title, offered;
        TestSeam::queueModalAction([&](QDialog &dialog) {
            title = dialog.windowTitle();
            // The list takes the keys from the start.
            const bool active = QTest::qWaitFor([&dialog] { return QApplication::activeWindow() == &dialog; });
            auto *list = active ? qobject_cast<QListWidget *>(QApplication::focusWidget()) : nullptr;
            if (!list)
                return;
            for (int row = 0; row < list->count(); ++row)
                offered += list->item(row)->text() + (row == list->currentRow() ? QStringLiteral("* ") : QStringLiteral(" "));
            for (const QString &step : answer) {
                if (step == QStringLiteral("OK")) {
                    QTest::mouseClick(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
                } else if (step.startsWith(QStringLiteral("double click"))) {
                    QListWidgetItem *item = list->item(step.section(u' ', 2).toInt());
                    list->scrollToItem(item);
                    // The first click of the two, then the second.
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
                    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
                } else {
                    const QKeyCombination key = QKeySequence::fromString(step)[0];
                    QTest::keyClick(list, key.key(), key.keyboardModifiers());
                }
            }
        });
        QTest::keyClick(&frame, Qt::Key_W, Qt::AltModifier);
        QTRY_VERIFY(frame.mnuWindow->isVisible());
        QTest::mouseClick(frame.mnuWindow, Qt::LeftButton, {}, frame.mnuWindow->actionGeometry(frame.mnuWindow->actions().last()).center());
        QCOMPARE(title, QStringLiteral("Select Window"));
        QCOMPARE(offered, QStringLiteral("Untitled1 Untitled2 Untitled3 Untitled4 Untitled5 Untitled6 Untitled7 Untitled8 Untitled9 "
                                         "Untitled10 Untitled11 Untitled12* "));
        QCOMPARE(frame.activeDocument(), document(active));
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QCOMPARE(QApplication::focusWidget(), text(active));
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
        frame.mnuView1[1]->trigger();
        frame.mnuView1[1]->trigger();
        QCOMPARE(bandsShown(frame), QStringLiteral("0|1|2"));
        QTRY_COMPARE(frame.mdiArea()->y(), Screen::pixelsY(1470));
    }
};

QUILLORY_SUITE(FrameTest)

// The pictures on a screen with two device pixels to a pixel, checked in a
// copy of this program started at that scale.
class HighDensityTest : public ProgramSuite
{
    Q_OBJECT

private slots:
    void everyPictureIsDrawnForItsDevicePixels_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QSize>("size"); // in pixels, as at one device pixel to a pixel
        if (qApp->devicePixelRatio() != 2) {
            QTest::newRow("in a copy of this program at two device pixels to a pixel") << "copy" << QSize();
            return;
        }
        QTest::newRow("About box's logo") << "About" << QSize(96, 96);
        QTest::newRow("Open dialog's logo") << "Open" << QSize(48, 48);
        QTest::newRow("splash") << "splash" << QSize(446, 268);
        QTest::newRow("background") << "background" << QSize(446, 268);
    }

    void everyPictureIsDrawnForItsDevicePixels()
    {
        QFETCH(QString, window);
        QFETCH(QSize, size);
        if (window == QStringLiteral("copy")) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
            environment.insert(QStringLiteral("QUILLORY_SUITE"), QStringLiteral("HighDensityTest"));
            QProcess copy;
            copy.setProcessEnvironment(environment);
            copy.setProcessChannelMode(QProcess::MergedChannels);
            copy.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
            QVERIFY(copy.waitForFinished(120000));
            QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0, copy.readAll().constData());
            return;
        }
        QImage shown; // the picture as the window has it, in device pixels
        if (window == QStringLiteral("splash")) {
            shown = frmSplash().grab().toImage();
        } else if (window == QStringLiteral("background")) {
            shown = frmBackground(nullptr).grab().toImage();
        } else {
            frmMainNote &frame = activeFrame();
            TestSeam::queueModalAction([&](QDialog &dialog) {
                const QLabel *logo = window == QStringLiteral("About") ? static_cast<frmAbout &>(dialog).imgLogo
                                                                       : static_cast<frmOpenDlg &>(dialog).imgAdvert;
                QCOMPARE(logo->pixmap().deviceIndependentSize(), QSizeF(size));
                shown = logo->pixmap().toImage();
            });
            if (window == QStringLiteral("Open")) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
            } else {
                const QRect title = frame.menuBar()->actionGeometry(frame.mnuHelp->menuAction());
                QTest::mouseClick(frame.menuBar(), Qt::LeftButton, {}, title.center());
                QTRY_VERIFY(frame.mnuHelp->isVisible());
                const QRect about = frame.mnuHelp->actionGeometry(frame.mnuHelp1[3]);
                QTest::mouseClick(frame.mnuHelp, Qt::LeftButton, {}, about.center());
            }
        }
        QCOMPARE(shown.size(), size * 2);
        // Not the picture for one device pixel to a pixel scaled up, either
        // way: a drawing of its own is at least a quarter as far from both as
        // they are from each other.
        const QImage one = window == QStringLiteral("splash")       ? splashPicture(1).toImage()
                           : window == QStringLiteral("background") ? backgroundPicture(1).toImage()
                                                                    : logoPicture(size.width(), 1).toImage();
        const QImage fast = one.scaled(size * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QImage smooth = one.scaled(size * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double apart = distance(fast, smooth);
        QVERIFY2(distance(shown, fast) > apart / 4 && distance(shown, smooth) > apart / 4,
                 "scaled up from fewer pixels");
    }
};

QUILLORY_SUITE(HighDensityTest)
#include "tst_frame.moc"
