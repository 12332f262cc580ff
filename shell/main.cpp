#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tallowmere"));
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setQuitOnLastWindowClosed(false);
    Quillo::Main();
    const int code = QApplication::exec();
    delete Quillo::MainForm;
    return code;
}
