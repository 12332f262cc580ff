#include "freshprogramstate.h"

#include "platform/help.h"
#include "platform/printer.h"
#include "platform/screen.h"
#include "platform/testseam.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

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
    // Copies kept by saves in place go to the cache folder.
    m_previousCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.filePath(QStringLiteral("cache"))));
    // Drafts of unsaved text go to the data folder.
    m_previousData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data"))));
    m_previousCurrentDir = QDir::currentPath();
    QDir::setCurrent(root.filePath(QStringLiteral("work")));

    QCoreApplication::setOrganizationName(QStringLiteral("Tallowmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillory"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder());

    Screen::resetState();
    Help::resetState();
    resetThePrinter();
}

FreshProgramState::~FreshProgramState()
{
    resetThePrinter();
    Help::resetState();
    Screen::resetState();
    QDir::setCurrent(m_previousCurrentDir);
    if (m_previousData.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_previousData);
    if (m_previousCache.isEmpty())
        qunsetenv("XDG_CACHE_HOME");
    else
        qputenv("XDG_CACHE_HOME", m_previousCache);
    if (m_homeWasSet)
        qputenv("HOME", m_previousHome);
    else
        qunsetenv("HOME");
    TestSeam::reset();
    TestSeam::disable();
}

QString FreshProgramState::homeFolder() const { return m_root.filePath(QStringLiteral("home")); }
QString FreshProgramState::settingsFolder() const { return m_root.filePath(QStringLiteral("settings")); }
