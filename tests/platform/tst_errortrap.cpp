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
};

QUILLORY_SUITE(ErrorTrapTest)
#include "tst_errortrap.moc"
