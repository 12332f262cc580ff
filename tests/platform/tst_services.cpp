// The platform's small services: message boxes, the screen's fonts, messages
// to controls, and the error trap.

#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtTest>
#include <QtWidgets>

#include <stdexcept>

class ServicesTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void aBoxShowsItsTextPlainWithTheStylesButtonsAndEachGivesItsAnswer_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("press"); // NoButton: Escape; -1: no one answers
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        using B = QMessageBox;
        QTest::newRow("OK") << 0 << int(B::Ok) << MsgBoxAnswer::Ok << int(B::NoIcon) << 1 << int(B::Ok);
        QTest::newRow("Yes of Yes/No/Cancel with an exclamation mark") << 51 << int(B::Yes) << MsgBoxAnswer::Yes
            << int(B::Warning) << 3 << int(B::Yes);
        QTest::newRow("No of Yes/No/Cancel, the second the default") << 259 << int(B::No) << MsgBoxAnswer::No
            << int(B::NoIcon) << 3 << int(B::No);
        QTest::newRow("Escape on Yes/No/Cancel") << 3 << int(B::NoButton) << MsgBoxAnswer::Cancel << int(B::NoIcon) << 3
            << int(B::Yes);
        QTest::newRow("Retry of Retry/Cancel, critical") << 21 << int(B::Retry) << MsgBoxAnswer::Retry
            << int(B::Critical) << 2 << int(B::Retry);
        // Without waiting, as the Escape key would.
        QTest::newRow("no one answers Yes/No/Cancel") << 3 << -1 << MsgBoxAnswer::Cancel << 0 << 0 << 0;
        QTest::newRow("no one answers Yes/No") << 4 << -1 << MsgBoxAnswer::No << 0 << 0 << 0;
        QTest::newRow("no one answers OK") << 0 << -1 << MsgBoxAnswer::Ok << 0 << 0 << 0;
    }

    void aBoxShowsItsTextPlainWithTheStylesButtonsAndEachGivesItsAnswer()
    {
        QFETCH(int, press);
        const QString text = QStringLiteral("Error. Can't open file: <b>x</b>.txt");
        if (press >= 0)
            TestSeam::queueModalAction([&](QDialog &dialog) {
                auto &box = static_cast<QMessageBox &>(dialog);
                QCOMPARE(box.text(), text);
                QCOMPARE(box.textFormat(), Qt::PlainText);
                QCOMPARE(box.windowTitle(), QStringLiteral("<i>Open</i>"));
                QTEST(int(box.icon()), "icon");
                QTEST(int(box.buttons().size()), "buttons");
                QTEST(int(box.standardButton(box.defaultButton())), "defaultButton");
                QVERIFY((box.windowFlags() & Qt::CustomizeWindowHint) && !(box.windowFlags() & Qt::WindowMinMaxButtonsHint));
                if (press == QMessageBox::NoButton)
                    QTest::keyClick(&box, Qt::Key_Escape);
                else
                    QTest::mouseClick(box.button(QMessageBox::StandardButton(press)), Qt::LeftButton);
            });
        QFETCH(int, style);
        QTEST(MsgBox(text, style, QStringLiteral("<i>Open</i>")), "answer");
        QCOMPARE(TestSeam::shownMessages().at(0).text, text);
        QCOMPARE(TestSeam::shownMessages().at(0).answered, press >= 0);
    }

    // No modal window is minimised, and one of fixed size not maximised either.
    void aModalWindowOffersOnlyTheTitleButtonsThatFitIt()
    {
        for (bool fixedSize : {true, false}) {
            QDialog dialog;
            (new QVBoxLayout(&dialog))->setSizeConstraint(fixedSize ? QLayout::SetFixedSize : QLayout::SetDefaultConstraint);
            Qt::WindowFlags flags;
            TestSeam::queueModalAction([&flags](QDialog &shown) { flags = shown.windowFlags(); shown.accept(); });
            ShowModal(dialog);
            QVERIFY((flags & Qt::CustomizeWindowHint) && !(flags & Qt::WindowMinimizeButtonHint));
            QCOMPARE(bool(flags & Qt::WindowMaximizeButtonHint), !fixedSize);
        }
    }

    // Where the system has no font of that name.
    void fixedsysIsDrawnByTheFixedPitchFont()
    {
        if (QFontDatabase::families().contains(QStringLiteral("Fixedsys"), Qt::CaseInsensitive))
            QSKIP("this machine has a font called Fixedsys");
        const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QCOMPARE(Screen::fontFamily(QStringLiteral("Fixedsys")), fixed);
        QCOMPARE(Screen::fontFamily(QStringLiteral("DejaVu Serif")), QStringLiteral("DejaVu Serif"));
    }

    void aFamilyIsListedOnceByItsPlainNameSortedWhateverItsCase_data()
    {
        QTest::addColumn<QStringList>("families");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("made by several foundries")
            << QStringList {"Nimbus Sans [urw]", "Nimbus Sans [UKWN]", "Mono", "Nimbus Sans [URW ]"}
            << QStringList {"Fixedsys", "Mono", "Nimbus Sans"};
        QTest::newRow("names differing in case, Fixedsys there") << QStringList {"sans", "Sans", "FIXEDSYS"}
            << QStringList {"FIXEDSYS", "sans", "Sans"};
        QTest::newRow("brackets of the name's own") << QStringList {"Font[1]", "Font [x] Two"}
            << QStringList {"Fixedsys", "Font [x] Two", "Font[1]"};
    }

    void aFamilyIsListedOnceByItsPlainNameSortedWhateverItsCase()
    {
        QFETCH(QStringList, families);
        QTEST(Screen::fontNames(families), "names");
    }

    // A control that does not understand a message answers 0 and is left
    // as it was.
    void messagesReachOnlyControlsThatUnderstandThem()
    {
        QLineEdit line(QStringLiteral("typed"));
        QCOMPARE(SendMessageA(&line, EM_UNDO), 0);
        QCOMPARE(line.text(), QStringLiteral("typed"));
        QCOMPARE(SendMessageA(nullptr, EM_CANUNDO), 0);
        RichTextBox box;
        QCOMPARE(SendMessageA(box.hwnd(), 0x0C), 0);
    }

    // An exception is a failure too, and goes no further; when so asked, a
    // failure stops the steps after it.
    void failingStepsAreRecordedAndTheRestRun()
    {
        QStringList ran;
        ErrorTrap trap;
        trap.run([&] { ran << "first"; })
            .run([&] { ran << "second"; throw std::bad_alloc(); })
            .run([&] { ran << "third"; return Error::make(ErrorNumber::FileNotFound, QStringLiteral("'a.txt'")); })
            .run([&] { ran << "fourth"; throw std::runtime_error("broken"); })
            .run([&] { ran << "fifth"; return Error::none(); });
        QCOMPARE(ran, (QStringList {"first", "second", "third", "fourth", "fifth"}));
        QCOMPARE(trap.failureCount(), 3);
        QCOMPARE(trap.firstError().number, ErrorNumber::OutOfMemory);

        ErrorTrap stopping(ErrorTrap::Mode::StopAtFirstFailure);
        stopping.run([&] { ran << "sixth"; return Error::make(ErrorNumber::PathNotFound); }).run([&] { ran << "seventh"; });
        QCOMPARE(ran.last(), QStringLiteral("sixth"));
        QCOMPARE(stopping.firstError().number, ErrorNumber::PathNotFound);
    }
};

QUILLORY_SUITE(ServicesTest)

#include "tst_services.moc"
