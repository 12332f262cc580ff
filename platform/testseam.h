#pragma once

#include <QList>
#include <QString>

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
