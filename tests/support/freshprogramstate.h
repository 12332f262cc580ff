#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh program state for one test: the seam enabled and emptied, the
// per-user store, the home and cache folders and the current directory
// pointed at temporary folders of its own, the mouse pointer back to normal.
// Everything is put back when it goes.
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
    QByteArray m_previousCache;
    QByteArray m_previousData;
    QString m_previousCurrentDir;
};
