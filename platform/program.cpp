#include "platform/program.h"

#include "platform/testseam.h"

#include <QCoreApplication>

void EndProgram()
{
    if (TestSeam::enabled()) {
        TestSeam::recordProgramEnd();
        return;
    }
    QCoreApplication::exit(0);
}
