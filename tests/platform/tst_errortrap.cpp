#include "platform/error.h"
#include "freshsuite.h"
#include "suites.h"

#include <QtTest>

#include <stdexcept>

class ErrorTrapTest : public FreshStateSuite
{
    Q_OBJECT

private slots:

    // An exception is a failure too, and goes no further.
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
    }

    void stoppingAtTheFirstFailureRunsNothingAfterIt()
    {
        bool after = false;
        ErrorTrap trap(ErrorTrap::Mode::StopAtFirstFailure);
        trap.run([] { return Error::make(ErrorNumber::PathNotFound); }).run([&] { after = true; });
        QVERIFY(!after);
        QCOMPARE(trap.firstError().number, ErrorNumber::PathNotFound);
    }
};

QUILLORY_SUITE(ErrorTrapTest)
#include "tst_errortrap.moc"
