#include "document/watchedfile.h"

#include "document/documenthost.h"
#include "document/draft.h"
#include "document/frmnotepad.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "shell/quillo.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// A program writing a file is told about once it has written it.
constexpr int settleMs = 100;
constexpr int modalWindowCheckMs = 250;

} // namespace

WatchedFile::WatchedFile(frmNotePad &document, DocumentHost &host)
    : QObject(&document)
    , m_document(document)
    , m_host(host)
{
    m_tellTimer.setSingleShot(true);
    connect(&m_tellTimer, &QTimer::timeout, this, &WatchedFile::tell);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &WatchedFile::notified);
    // A file deleted and made again is seen in its folder.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &WatchedFile::notified);
}

WatchedFile::Stamp WatchedFile::stampOf(const QString &path)
{
    Stamp stamp;
    const QFileInfo file(path);
    if (path.isEmpty() || !file.exists())
        return stamp;
    stamp.exists = true;
    stamp.size = file.size();
    stamp.modified = file.lastModified();
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        stamp.device = status.st_dev;
        stamp.inode = status.st_ino;
    }
#else
    stamp.metadataChanged = file.metadataChangeTime();
#endif
    return stamp;
}

void WatchedFile::setPath(const QString &path)
{
    m_tellTimer.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_path = path;
    m_own = m_told = stampOf(path);
    if (path.isEmpty())
        return;
    if (m_own.exists)
        m_watcher.addPath(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir())
        m_watcher.addPath(folder);
}

void WatchedFile::notified()
{
    // A file replaced by another renamed over it, or made again, is a new
    // file to the watch.
    if (m_path.isEmpty())
        return;
    m_watcher.removePath(m_path);
    if (QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
    if (!m_tellTimer.isActive())
        m_tellTimer.start(settleMs);
}

void WatchedFile::documentActivated()
{
    // Once the activation is over.
    m_tellTimer.start(0);
}

void WatchedFile::tell()
{
    if (m_path.isEmpty() || !m_document.isLoaded() || m_host.activeDocument() != &m_document)
        return;
    // The focus stays with the dialog the user is in, and the program
    // finishes what it is busy with (a Replace All); the question waits.
    if (QApplication::activeModalWidget() || Screen::mousePointer() == MousePointer::Hourglass) {
        m_tellTimer.start(modalWindowCheckMs);
        return;
    }
    const Stamp now = stampOf(m_path);
    const int slot = m_document.Tag().toInt();
    if (now == m_own || now == m_told || slot <= 0 || slot >= Quillo::DocState.size())
        return;
    m_told = now;
    const QString file = QStringLiteral("The file [") + QDir::toNativeSeparators(m_path);
    if (!now.exists) {
        // Kept modified, so that saving or closing writes it again; until
        // then its draft is the text's only copy on disk.
        Quillo::DocState[slot].Modified = true;
        m_document.draft().textChanged();
        MsgBox(QStringLiteral("Error. ") + file + QStringLiteral("] has been deleted by another program."),
               MsgBoxStyle::Exclamation, m_document.Caption());
        return;
    }
    // A text kept in its file that was written over can no longer read its
    // unchanged parts: only what was typed is left, and its draft keeps that.
    const FileText *source = m_document.Text1->store().file();
    bool gone = false;
    if (source && source->reads(m_path)) {
        Screen::setMousePointer(MousePointer::Hourglass);
        gone = !source->verify();
        Screen::setMousePointer(MousePointer::Default);
        if (gone) {
            m_document.Text1->viewport()->update();
            m_document.draft().textChanged();
        }
    }
    const QString question = file + QStringLiteral("] has been changed by another program.\r\n")
                             + (gone ? QStringLiteral("The parts of the text that were read from it are gone: reload it, or "
                                                      "keep what you typed by copying it out first.\r\n")
                                     : QString())
                             + (Quillo::DocState[slot].Modified
                                    ? QStringLiteral("Do you want to reload it and lose your unsaved changes?")
                                    : QStringLiteral("Do you want to reload it?"));
    if (MsgBox(question, MsgBoxStyle::YesNo | MsgBoxStyle::Question, m_document.Caption()) == MsgBoxAnswer::Yes)
        reload();
}

void WatchedFile::reload()
{
    RichTextBox &text = *m_document.Text1;
    const intptr_t line = SendMessageA(text.hwnd(), EM_LINEFROMCHAR, uintptr_t(-1));
    Screen::setMousePointer(MousePointer::Hourglass);
    // Taken before reading: a change while it is read is told again.
    const Stamp loaded = stampOf(m_path);
    if (text.LoadFile(m_path, RichTextFileType::Text).failed()) {
        Screen::setMousePointer(MousePointer::Default);
        MsgBox(QStringLiteral("Error. Can't open file: ") + QDir::toNativeSeparators(m_path), MsgBoxStyle::Exclamation,
               QStringLiteral("Open"));
        return;
    }
    m_own = m_told = loaded;
    Quillo::DocState[m_document.Tag().toInt()].Modified = false;
    m_document.draft().discard();
    // The caret stays on its line where the new text has one.
    const intptr_t lastLine = SendMessageA(text.hwnd(), EM_GETLINECOUNT) - 1;
    (void)text.setSelStart(SendMessageA(text.hwnd(), EM_LINEINDEX, uintptr_t(qMin(line, lastLine))));
    Screen::setMousePointer(MousePointer::Default);
}

bool WatchedFile::mayOverwrite(const QString &path)
{
    const Stamp now = stampOf(path);
    // A file gone is simply written again.
    if (path != m_path || !now.exists || now == m_own)
        return true;
    m_told = now;
    const QString question = QStringLiteral("The file [") + QDir::toNativeSeparators(path)
                             + QStringLiteral("] has been changed by another program since it was opened or saved.\r\n"
                                              "Do you want to overwrite it?");
    return MsgBox(question, MsgBoxStyle::YesNo | MsgBoxStyle::Question, QStringLiteral("Save")) == MsgBoxAnswer::Yes;
}
