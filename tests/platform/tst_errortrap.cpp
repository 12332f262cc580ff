#include "platform/error.h"
#include "platform/msgbox.h"
#include "platform/testseam.h"
#include "freshsuite.h"
#include "suites.h"

#include <QTest>

#include <stdexcept>

class ErrorTrapTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    void failingStepsAreSkippedAndTheRestRun()
    {
        QStringList ran;
        ErrorTrap trap;
        trap.run([&] { ran << "first"; })
            .run([&] { ran << "second"; return Error::make(ErrorNumber::FileNotFound, QStringLiteral("'a.txt'")); })
            .run([&] { ran << "third"; return Error::none(); })
            .run([&] { ran << "fourth"; return Error::make(ErrorNumber::DiskFull); });
        QCOMPARE(ran, (QStringList {"first", "second", "third", "fourth"}));
        QVERIFY(trap.failed());
        QCOMPARE(trap.failureCount(), 2);
        QCOMPARE(trap.firstError().number, ErrorNumber::FileNotFound);
        QCOMPARE(trap.firstError().description, QStringLiteral("File not found: 'a.txt'"));
    }

    void stoppingAtTheFirstFailureRunsNothingAfterIt()
    {
        QStringList ran;
        ErrorTrap trap(ErrorTrap::Mode::StopAtFirstFailure);
        trap.run([&] { ran << "first"; return Error::make(ErrorNumber::PathNotFound); })
            .run([&] { ran << "second"; });
        QCOMPARE(ran, QStringList {"first"});
        QCOMPARE(trap.firstError().number, ErrorNumber::PathNotFound);
    }

    void anExceptionFromAStepIsAFailureAndGoesNoFurther()
    {
        ErrorTrap trap;
        bool after = false;
        trap.run([] { throw std::bad_alloc(); })
            .run([] { throw std::runtime_error("broken"); })
            .run([&] { after = true; });
        QVERIFY(after);
        QCOMPARE(trap.failureCount(), 2);
        QCOMPARE(trap.firstError().number, ErrorNumber::OutOfMemory);
    }

    void atMostOneMessageIsShownAndOnlyAfterAFailure()
    {
        ErrorTrap clean;
        clean.run([] { return Error::none(); });
        QCOMPARE(clean.report(QStringLiteral("Error. Unable to Save x"), 48, QStringLiteral("Save")), 0);
        QVERIFY(TestSeam::shownMessages().isEmpty());

        ErrorTrap failing;
        failing.run([] { return Error::make(ErrorNumber::DiskFull); }).run([] { return Error::make(ErrorNumber::DiskFull); });
        TestSeam::queueMessageBoxAnswer(MsgBoxAnswer::Ok);
        QCOMPARE(failing.report(QStringLiteral("Error. Unable to Save x"), 48, QStringLiteral("Save")), MsgBoxAnswer::Ok);
        QCOMPARE(TestSeam::shownMessages().size(), 1);
        QCOMPARE(TestSeam::shownMessages().at(0).text, QStringLiteral("Error. Unable to Save x"));
    }
};

QUILLORY_SUITE(ErrorTrapTest)
#include "tst_errortrap.moc"
