#include "platform/help.h"

#include "platform/helpwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStringDecoder>

#ifndef QUILLORY_DATA_FROM_BIN
#define QUILLORY_DATA_FROM_BIN "../share/quillory"
#endif

namespace {

struct HelpState
{
    QString programFolder; // empty: the program's own
    QPointer<HelpWindow> window;
};

HelpState &state()
{
    static HelpState s;
    return s;
}

QString shownName(const QString &name)
{
    return QLatin1Char('\'') + QDir::toNativeSeparators(name) + QLatin1Char('\'');
}

Error readGuide(const QString &helpFile, QString &html)
{
    const QString path = Help::locate(helpFile);
    if (path.isEmpty())
        return Error::make(ErrorNumber::FileNotFound, shownName(helpFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Error::make(ErrorNumber::FileNotFound,
                           shownName(path) + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Error::make(ErrorNumber::FileNotFound,
                           shownName(path) + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
    }
    // The guide names its character set, or is UTF-8.
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    html = decoder.isValid() ? decoder.decode(bytes) : QString::fromUtf8(bytes);
    return Error::none();
}

// A new window opens a little below and right of the one it belongs to,
// kept on that window's screen.
void placeBeside(HelpWindow &window, QWidget *owner)
{
    if (!owner)
        return;
    const QWidget *top = owner->window();
    QPoint at = top->frameGeometry().topLeft() + QPoint(48, 48);
    if (const QScreen *screen = top->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(qBound(room.left(), at.x(), qMax(room.left(), room.right() - window.width())));
        at.setY(qBound(room.top(), at.y(), qMax(room.top(), room.bottom() - window.height())));
    }
    window.move(at);
}

} // namespace

Error WinHelpA(QWidget *hwnd, const QString &helpFile, HelpCommand command, const QString &key)
{
    if (command != HELP_CONTENTS && command != HELP_PARTIALKEY) {
        return Error::make(ErrorNumber::InvalidProcedureCall,
                           QStringLiteral("help command 0x%1").arg(command, 4, 16, QLatin1Char('0')));
    }
    QString html;
    const Error error = readGuide(helpFile, html);
    if (error.failed())
        return error;

    HelpState &s = state();
    if (!s.window) {
        s.window = new HelpWindow;
        placeBeside(*s.window, hwnd);
    }
    s.window->setGuide(html);
    if (command == HELP_CONTENTS)
        s.window->showContents();
    else
        s.window->showIndex(key);
    return Error::none();
}

QStringList Help::searchFolders()
{
    const QString program = state().programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                            : state().programFolder;
    const QDir dir(program);
    return {dir.path(), QDir::cleanPath(dir.filePath(QStringLiteral(QUILLORY_DATA_FROM_BIN)))};
}

QString Help::locate(const QString &helpFile)
{
    if (helpFile.isEmpty())
        return QString();
    if (QFileInfo(helpFile).fileName() != helpFile) {
        const QFileInfo info(helpFile);
        return info.isFile() ? info.absoluteFilePath() : QString();
    }
    for (const QString &folder : searchFolders()) {
        const QFileInfo info(QDir(folder), helpFile);
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}

void Help::setProgramFolder(const QString &folder)
{
    state().programFolder = folder;
}

HelpWindow *Help::window()
{
    return state().window;
}

void Help::resetState()
{
    delete state().window;
    state() = HelpState();
}
