#include "platform/program.h"

#include "platform/testseam.h"

#include <QCoreApplication>

namespace App {
QString HelpFile = QStringLiteral("QLRY.hlp");
}

void EndProgram()
{
    if (TestSeam::enabled()) {
        TestSeam::recordProgramEnd();
        return;
    }
    QCoreApplication::exit(0);
}
