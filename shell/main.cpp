#include "document/draft.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tallowmere"));
    QApplication::setApplicationName(QStringLiteral("Quillory"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Named files are taken from where the program was started, before the
    // start moves the current folder.
    for (const QString &argument : QApplication::arguments().mid(1))
        Quillo::StartFiles << QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath());
    Quillo::Main();
    const int code = QApplication::exec();
    delete Quillo::MainForm;
    Drafts::endRun();
    return code;
}
