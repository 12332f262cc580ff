#pragma once

#include "platform/error.h"

#include <QListWidget>

// The files of one folder whose names match a pattern, sorted by name.
class FileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit FileListBox(QWidget *parent = nullptr);

    // The folder, absolute and in native form.
    QString Path() const;
    // Fails (path not found) when path is not a folder that can be read,
    // and the list stays as it was.
    Error setPath(const QString &path);
    // Wildcards "*" and "?"; several patterns separated by ";".
    QString Pattern() const;
    void setPattern(const QString &pattern);
    // The chosen name, or empty.
    QString FileName() const;

signals:
    // The user chose a name, by mouse or by key.
    void Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void fill(const QString &folder);

    QString m_path;
    QString m_pattern;
    // Only a current item the user made raises Click, never one the list
    // set while filling or a caller set.
    bool m_userChoosing = false;
};
