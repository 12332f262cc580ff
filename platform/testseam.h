#pragma once

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QDialog;

// Where tests stand in for the user. While the seam is enabled nothing
// waits for a person: each message box takes the next queued answer, each
// modal window the next queued action, and every box shown is recorded with
// its exact text, style and title.
namespace TestSeam {

struct ShownMessage
{
    QString text;
    int style = 0;
    QString title;
    int answer = 0;
    bool answered = false; // false: no answer was queued; the box took its Escape answer
};

using ModalAction = std::function<void(QDialog &)>;

void enable();
void disable();
bool enabled();
// Forgets queued answers and actions and everything recorded.
void reset();

void queueMessageBoxAnswer(int answer);
// Each action runs inside the window's modal loop; a window it leaves open is
// then closed as if the user pressed Escape.
void queueModalAction(ModalAction action);

const QList<ShownMessage> &shownMessages();
// Modal windows that found no queued action, and were not shown at all.
int unhandledModalWindows();
// Modal windows that an action left open.
int modalWindowsLeftOpen();
// How often the program asked to end.
int programEnds();

// Used by MsgBox and ShowModal.
bool takeMessageBoxAnswer(int &answer);
bool hasModalAction();
bool takeModalAction(ModalAction &action);
void recordMessage(const ShownMessage &message);
void recordUnhandledModalWindow();
void recordModalWindowLeftOpen();
void recordProgramEnd();

} // namespace TestSeam

// A fresh program state for one test: the seam enabled and emptied, the
// per-user store, the home folder and the current directory pointed at
// temporary folders of its own, the mouse pointer back to normal, no help
// window and help files looked up beside the program. Everything is put back
// when it goes.
class FreshProgramState
{
public:
    FreshProgramState();
    ~FreshProgramState();
    FreshProgramState(const FreshProgramState &) = delete;
    FreshProgramState &operator=(const FreshProgramState &) = delete;

    // A folder of this test's own, empty at the start.
    QString folder() const { return m_root.path(); }
    QString path(const QString &name) const { return m_root.filePath(name); }
    QString homeFolder() const;
    QString settingsFolder() const;

private:
    QTemporaryDir m_root;
    bool m_homeWasSet = false;
    QByteArray m_previousHome;
    QString m_previousCurrentDir;
};
