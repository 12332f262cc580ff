#include "platform/testseam.h"

#include "platform/help.h"
#include "platform/screen.h"

#include <QCoreApplication>
#include <QDir>
#include <QQueue>
#include <QSettings>

namespace TestSeam {
namespace {

struct SeamState
{
    bool enabled = false;
    QQueue<int> answers;
    QQueue<ModalAction> actions;
    QList<ShownMessage> shown;
    int unhandledModal = 0;
    int leftOpen = 0;
    int programEnds = 0;
};

SeamState &state()
{
    static SeamState s;
    return s;
}

} // namespace

void enable() { state().enabled = true; }
void disable() { state().enabled = false; }
bool enabled() { return state().enabled; }

void reset()
{
    const bool wasEnabled = state().enabled;
    state() = SeamState();
    state().enabled = wasEnabled;
}

void queueMessageBoxAnswer(int answer) { state().answers.enqueue(answer); }
void queueModalAction(ModalAction action) { state().actions.enqueue(std::move(action)); }

const QList<ShownMessage> &shownMessages() { return state().shown; }
int unhandledModalWindows() { return state().unhandledModal; }
int modalWindowsLeftOpen() { return state().leftOpen; }
int programEnds() { return state().programEnds; }

bool takeMessageBoxAnswer(int &answer)
{
    if (state().answers.isEmpty())
        return false;
    answer = state().answers.dequeue();
    return true;
}

bool hasModalAction() { return !state().actions.isEmpty(); }

bool takeModalAction(ModalAction &action)
{
    if (state().actions.isEmpty())
        return false;
    action = state().actions.dequeue();
    return true;
}

void recordMessage(const ShownMessage &message) { state().shown.append(message); }
void recordUnhandledModalWindow() { ++state().unhandledModal; }
void recordModalWindowLeftOpen() { ++state().leftOpen; }
void recordProgramEnd() { ++state().programEnds; }

} // namespace TestSeam

FreshProgramState::FreshProgramState()
{
    TestSeam::reset();
    TestSeam::enable();

    QDir root(m_root.path());
    root.mkpath(QStringLiteral("home"));
    root.mkpath(QStringLiteral("settings"));
    root.mkpath(QStringLiteral("work"));

    m_homeWasSet = qEnvironmentVariableIsSet("HOME");
    m_previousHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(homeFolder()));
    m_previousCurrentDir = QDir::currentPath();
    QDir::setCurrent(root.filePath(QStringLiteral("work")));

    QCoreApplication::setOrganizationName(QStringLiteral("Tallowmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillory"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder());

    Screen::resetState();
    Help::resetState();
}

FreshProgramState::~FreshProgramState()
{
    Help::resetState();
    Screen::resetState();
    QDir::setCurrent(m_previousCurrentDir);
    if (m_homeWasSet)
        qputenv("HOME", m_previousHome);
    else
        qunsetenv("HOME");
    TestSeam::reset();
    TestSeam::disable();
}

QString FreshProgramState::homeFolder() const { return m_root.filePath(QStringLiteral("home")); }
QString FreshProgramState::settingsFolder() const { return m_root.filePath(QStringLiteral("settings")); }
