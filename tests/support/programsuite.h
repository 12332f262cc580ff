#pragma once

#include "document/frmfinddlg.h"
#include "document/frmnotepad.h"
#include "document/menuedit.h"
#include "editor/safefile.h"
#include "filebytes.h"
#include "files/frmopendlg.h"
#include "files/frmsavedlg.h"
#include "files/menufile.h"
#include "freshprogramstate.h"
#include "platform/dirlistbox.h"
#include "platform/msgbox.h"
#include "platform/richtextbox.h"
#include "platform/screen.h"
#include "platform/testseam.h"
#include "shell/actionarray.h"
#include "shell/frmmainnote.h"
#include "shell/quillo.h"
#include "suites.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QObject>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

// A suite whose every test starts from a fresh program: fresh folders and
// seams, every module's variables as at start-up, and no frame until the
// test asks for one.
class ProgramSuite : public QObject
{
    Q_OBJECT

protected:
    const FreshProgramState &fresh() const { return *m_state; }

    // A frame that has loaded and is shown, as after the splash.
    frmMainNote &loadedFrame(QSize size = QSize(900, 600))
    {
        // The flags as the start procedure leaves them.
        MenuEdit::CutAllowed = true;
        MenuEdit::PasteAllowed = true;
        MenuEdit::FindDirection = 1;
        m_frame.reset(new frmMainNote);
        m_frame->resize(size);
        m_frame->Show();
        return *m_frame;
    }

    // A loaded frame that is the active window, so that its menu shortcuts
    // work and the keyboard focus is in its active document.
    frmMainNote &activeFrame(QSize size = QSize(900, 600))
    {
        frmMainNote &frame = loadedFrame(size);
        frame.activateWindow();
        if (!QTest::qWaitForWindowActive(&frame))
            qWarning("the frame did not become the active window");
        return frame;
    }

    frmNotePad *document(int slot) const { return Quillo::Documents.value(slot); }
    RichTextBox *text(int slot) const { return document(slot) ? document(slot)->Text1 : nullptr; }

    // A file or folder in the test's own folder, as a native path.
    QString pathTo(const QString &name) const { return QDir::toNativeSeparators(fresh().path(name)); }
    // The same folder, made if need be.
    QString folder(const QString &name) const
    {
        QDir().mkpath(fresh().path(name));
        return pathTo(name);
    }

    // Every message box shown so far: "title: text".
    static QStringList said()
    {
        QStringList shown;
        for (const TestSeam::ShownMessage &message : TestSeam::shownMessages())
            shown << message.title + QStringLiteral(": ") + message.text;
        return shown;
    }

    static QString savePrompt(const QString &caption)
    {
        return caption + QStringLiteral(": Text in [%1] has been modified.\r\nDo you want to save the changes?").arg(caption);
    }

    static void selectText(RichTextBox *text, qsizetype start, qsizetype length)
    {
        QVERIFY(text->setSelStart(start).ok());
        QVERIFY(text->setSelLength(length).ok());
    }

    static void clickButton(Toolbar *toolbar, int index)
    {
        QWidget *button = toolbar->widgetForAction(toolbar->Buttons[index]);
        QVERIFY(button && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Until the timer, while it runs, has ticked once more.
    static bool nextTick(QTimer &timer)
    {
        return !timer.isActive() || QSignalSpy(&timer, &QTimer::timeout).wait(2000);
    }

    // Bytes as afterSteps() tells them: \r, \n and \xNN for those past ASCII.
    static QString shownBytes(const QByteArray &bytes)
    {
        QString shown;
        for (const char c : bytes)
            shown += c == '\r' ? QStringLiteral("\\r") : c == '\n' ? QStringLiteral("\\n")
                     : uchar(c) < 0x80 ? QString(QChar(c)) : QStringLiteral("\\x") + QString::number(uchar(c), 16).toUpper();
        return shown;
    }

    // Carries out a user's steps on a loaded frame, one string each:
    //   "file NAME=TEXT"   a file there before, its text in Latin-1 ("file NAME/": a folder)
    //   "encoded ENCODING NAME=TEXT"   the same, its text in that encoding
    //   "gone NAME"        a file or folder taken away
    //   "open NAME"        a file opened; "command line": those of Quillo::StartFiles
    //   "type TEXT", "key KEY", "close", "activate SLOT"   in the active document, or to bring one forward
    //   "other COMMAND"    another program, /bin/sh -c COMMAND, run in the folder
    //   "wait"             until the next message box is shown (a few seconds at most)
    //   "folder gone at commit FOLDER"   a save's last step into the folder finds it taken away
    //   "show"             tells the active document's text and encoding
    //   "File N"           the File menu's item N chosen
    //   "Yes", "No", "Cancel"   the answer to the next message box
    //   "dialog PATH [+ FOLDER...]"   the next Open or Save dialog lists PATH's folder, takes
    //                      its name (a PATH starting <folder> is typed whole; "(all files)"
    //                      after it chooses that type) and backups into the folders, "[ENCODING]"
    //                      at the end that encoding, typed into its box, and is pressed Open or Save
    //   "recent"           the next Open dialog opens what its recent tab offers first
    //   "look"             the next Save dialog tells what it proposes, and is cancelled
    //   "drop text|frame ITEM..."   dragged from another program and dropped on the active document's
    //                      text or the frame's area around the documents: a file or folder NAME, an
    //                      http:// address, or =TEXT; the addresses go as text too, as file managers send them
    // Then tells what came of them: each message shown, the windows (* when
    // changed), the files and their bytes, the recent files, and whatever
    // else was left; paths relative to the test's folder.
    QString afterSteps(const QStringList &steps)
    {
        frmMainNote &frame = loadedFrame();
        QStringList seen;
        const QDir root(fresh().folder());
        for (const QString &step : steps) {
            const QString word = step.section(u' ', 0, 0), rest = step.section(u' ', 1);
            if (word == QStringLiteral("file") && rest.endsWith(u'/')) {
                folder(rest);
            } else if (word == QStringLiteral("file")) {
                root.mkpath(QFileInfo(root.filePath(rest.section(u'=', 0, 0))).path());
                if (!writeBytes(root.filePath(rest.section(u'=', 0, 0)), rest.section(u'=', 1).toLatin1()))
                    return QStringLiteral("cannot write ") + rest;
            } else if (word == QStringLiteral("encoded")) {
                const QString name = rest.section(u' ', 1).section(u'=', 0, 0);
                if (!writeBytes(root.filePath(name), QStringEncoder(rest.section(u' ', 0, 0).toLatin1().constData())(rest.section(u'=', 1))))
                    return QStringLiteral("cannot write ") + rest;
            } else if (word == QStringLiteral("show")) {
                seen << QStringLiteral("shows ") + frame.activeDocument()->Text1->Text() + QStringLiteral(" in ")
                            + frame.activeDocument()->Text1->fileEncoding();
            } else if (word == QStringLiteral("recent")) {
                TestSeam::queueModalAction([](QDialog &dialog) { static_cast<frmOpenDlg &>(dialog).cmdOpen->click(); });
            } else if (word == QStringLiteral("gone")) {
                QDir(root.filePath(rest)).removeRecursively();
            } else if (word == QStringLiteral("open")) {
                MenuFile::OpenFile(pathTo(rest));
            } else if (word == QStringLiteral("command")) {
                Quillo::OpenStartFiles();
            } else if (word == QStringLiteral("type")) {
                for (const QChar c : rest)
                    QTest::sendKeyEvent(QTest::Click, frame.activeDocument()->Text1, Qt::Key_unknown, QString(c), Qt::NoModifier);
            } else if (word == QStringLiteral("key")) {
                const QKeyCombination key = QKeySequence::fromString(rest)[0];
                QTest::keyClick(frame.activeDocument()->Text1, key.key(), key.keyboardModifiers());
            } else if (word == QStringLiteral("other")) {
                QProcess other;
                other.setWorkingDirectory(root.path());
                other.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), rest});
                if (!other.waitForFinished() || other.exitCode() != 0)
                    return QStringLiteral("failed: ") + rest;
            } else if (step.startsWith(QStringLiteral("folder gone at commit "))) {
                const QString gone = root.filePath(step.section(u' ', 4));
                SafeFileWriter::setBeforeCommit([gone](const QString &path) {
                    if (QFileInfo(path).absolutePath() == gone)
                        QDir().rename(gone, gone + QStringLiteral(" (gone)"));
                });
            } else if (word == QStringLiteral("wait")) {
                const qsizetype shown = TestSeam::shownMessages().size();
                (void)QTest::qWaitFor([shown] { return TestSeam::shownMessages().size() > shown; }, 5000);
            } else if (word == QStringLiteral("close")) {
                frame.activeDocument()->close();
            } else if (word == QStringLiteral("activate")) {
                frame.mdiArea()->setActiveSubWindow(document(rest.toInt()));
                // What the activation leaves to do once it is over.
                QCoreApplication::processEvents();
            } else if (word == QStringLiteral("File")) {
                frame.mnuFile1[rest.toInt()]->trigger();
            } else if (word == QStringLiteral("look")) {
                TestSeam::queueModalAction([&seen, root](QDialog &dialog) {
                    auto &save = static_cast<frmSaveDlg &>(dialog);
                    seen << QStringLiteral("proposed ") + root.relativeFilePath(save.dirList->Path() + u'/' + save.Filename->text())
                                + (save.Check2->isChecked() ? QStringLiteral(" with a backup") : QString()) + QStringLiteral(" in ")
                                + save.cboEncoding->currentText();
                    save.cmdCancel->click();
                });
            } else if (word == QStringLiteral("drop")) {
                QMimeData data;
                QList<QUrl> urls;
                for (const QString &item : rest.section(u' ', 1).split(u' ')) {
                    if (item.startsWith(u'='))
                        data.setText(item.mid(1));
                    else
                        urls << (item.startsWith(QStringLiteral("http")) ? QUrl(item) : QUrl::fromLocalFile(root.filePath(item)));
                }
                if (!urls.isEmpty()) {
                    data.setUrls(urls);
                    QStringList addresses;
                    for (const QUrl &url : std::as_const(urls))
                        addresses << url.toString();
                    data.setText(addresses.join(u'\n'));
                }
                QWidget *on = rest.startsWith(QStringLiteral("text")) ? frame.activeDocument()->Text1->viewport() : frame.mdiArea()->viewport();
                const QPoint at = on->rect().center();
                QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
                QApplication::sendEvent(on, &enter);
                QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
                if (enter.isAccepted())
                    QApplication::sendEvent(on, &drop);
                if (!enter.isAccepted() || !drop.isAccepted())
                    seen << QStringLiteral("drop refused");
                else if (drop.dropAction() == Qt::MoveAction)
                    seen << QStringLiteral("drop moved");
                // What the drop leaves to do once it is over.
                QCoreApplication::processEvents();
            } else if (word == QStringLiteral("dialog")) {
                TestSeam::queueModalAction([root, step](QDialog &dialog) {
                    QString rest = step.section(u' ', 1);
                    QString encoding;
                    if (rest.endsWith(u']')) {
                        encoding = rest.section(QStringLiteral(" ["), -1).chopped(1);
                        rest = rest.section(QStringLiteral(" ["), 0, -2);
                    }
                    const QStringList parts = QString(rest).remove(QStringLiteral(" (all files)")).split(QStringLiteral(" + "));
                    const QStringList folders = parts.size() > 1 ? parts[1].split(u' ') : QStringList();
                    QString path = parts[0];
                    const bool whole = path.startsWith(QStringLiteral("<folder>"));
                    path = whole ? path.replace(QStringLiteral("<folder>"), root.path()) : root.filePath(path);
                    const QString place = whole ? root.path() : QFileInfo(path).path(), name = whole ? path : QFileInfo(path).fileName();
                    auto *open = qobject_cast<frmOpenDlg *>(&dialog);
                    if (open)
                        open->SSTab1->setCurrentIndex(1);
                    if (!encoding.isEmpty())
                        QTest::keyClicks(open ? open->cboEncoding : static_cast<frmSaveDlg &>(dialog).cboEncoding, encoding);
                    if (open) {
                        (void)open->dirList->setPath(place);
                        open->Filename->setText(name);
                        open->cmdOpen->click();
                        return;
                    }
                    auto &save = static_cast<frmSaveDlg &>(dialog);
                    (void)save.dirList->setPath(place);
                    save.Filename->setText(name);
                    save.Filetype->setCurrentIndex(rest.endsWith(QStringLiteral(" (all files)")) ? 0 : 1);
                    save.Check2->setChecked(!folders.isEmpty());
                    save.Check3->setChecked(folders.size() > 1);
                    for (int i = 0; i < folders.size(); ++i)
                        (void)(i == 0 ? save.Dir1 : save.Dir2)->setPath(QDir::cleanPath(root.filePath(folders[i])));
                    save.cmdSave->click();
                });
            } else {
                TestSeam::queueMessageBoxAnswer(word == QStringLiteral("Yes") ? MsgBoxAnswer::Yes
                                                : word == QStringLiteral("No") ? MsgBoxAnswer::No : MsgBoxAnswer::Cancel);
            }
        }
        return observed(frame, said() + seen);
    }

private:
    QString observed(frmMainNote &frame, QStringList seen) const
    {
        for (const TestSeam::ShownMessage &message : TestSeam::shownMessages()) {
            if (message.text.contains(QStringLiteral("has been modified")) && message.style != (MsgBoxStyle::YesNoCancel | MsgBoxStyle::Exclamation))
                seen << QStringLiteral("a prompt without Yes, No and Cancel");
        }
        QStringList windows, recent;
        for (int slot = 1; slot < Quillo::Documents.size(); ++slot) {
            if (document(slot) && document(slot)->isLoaded() && !Quillo::DocState[slot].Free)
                windows << document(slot)->Caption() + (Quillo::DocState[slot].Modified ? QStringLiteral("*") : QString());
        }
        seen << QStringLiteral("windows: ") + windows.join(QStringLiteral(", "));
        QStringList files;
        for (QDirIterator found(fresh().folder(), QDir::Files, QDirIterator::Subdirectories); found.hasNext();) {
            const QString name = QDir(fresh().folder()).relativeFilePath(found.next());
            const QString bytes = shownBytes(readBytes(found.filePath()));
            if (!name.startsWith(QStringLiteral("settings/")) && !name.startsWith(QStringLiteral("cache/"))
                && !name.startsWith(QStringLiteral("data/")))
                files << name + u'=' + bytes;
        }
        files.sort();
        seen << files;
        for (int item = 11; item <= 15; ++item) {
            if (frame.mnuFile1[item]->isVisible())
                recent << Caption(frame.mnuFile1[item]).mid(5);
        }
        if (!recent.isEmpty())
            seen << QStringLiteral("recent: ") + recent.join(QStringLiteral(", "));
        if (TestSeam::modalWindowsLeftOpen() > 0)
            seen << QStringLiteral("dialog stayed");
        if (TestSeam::unhandledModalWindows() > 0)
            seen << QStringLiteral("dialog unexpected");
        if (Screen::mousePointer() != MousePointer::Default)
            seen << QStringLiteral("hourglass");
        if (TestSeam::programEnds() > 0)
            seen << QStringLiteral("ended");
        return seen.join(QStringLiteral(" | ")).replace(QDir::toNativeSeparators(fresh().folder()) + QDir::separator(), QString());
    }

private slots:
    void init()
    {
        m_state = std::make_unique<FreshProgramState>();
        Quillo::resetModules();
    }

    void cleanup()
    {
        SafeFileWriter::setBeforeCommit({});
        m_frame.reset();
        delete Quillo::MainForm;
        Quillo::resetModules();
        m_state.reset();
    }

private:
    std::unique_ptr<FreshProgramState> m_state;
    std::unique_ptr<frmMainNote> m_frame;
};
