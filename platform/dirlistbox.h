#pragma once

#include "platform/error.h"

#include <QListWidget>

// A folder and the way to it: the folder's ancestors from the root down,
// the folder itself, then its subfolders. Opening an entry (double click,
// or Enter) makes it the folder.
class DirListBox : public QListWidget
{
    Q_OBJECT

public:
    // What each entry holds besides its name: the folder it stands for
    // (absolute, "/" separators), and its depth below the root (the root 0).
    enum Role { PathRole = Qt::UserRole, DepthRole };

    explicit DirListBox(QWidget *parent = nullptr);

    // The folder, absolute and in native form.
    QString Path() const;
    // Makes path (absolute, or relative to the current folder) the folder
    // and raises Change when it differs. Fails (path not found) when it is
    // not a folder that can be read, and the list stays as it was.
    Error setPath(const QString &path);

signals:
    void Change();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void open(QListWidgetItem *item);
    void fill(const QString &folder);

    QString m_path;
};
