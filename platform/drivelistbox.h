#pragma once

#include "platform/error.h"

#include <QComboBox>

// The drives a folder can be chosen from: the mounted volumes, one entry
// each (drive letters on Windows, mount points on Linux, pseudo file
// systems left out).
class DriveListBox : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveListBox(QWidget *parent = nullptr);

    // The chosen volume's root folder, in native form ("/", "/media/usb",
    // "C:\").
    QString Drive() const;
    // Chooses the volume that holds path (a root or any path on it); raises
    // Change when that is another volume. Fails (device unavailable) when no
    // listed volume holds it, and the choice stays as it was.
    Error setDrive(const QString &path);

signals:
    // Another volume was chosen, by the user or by setDrive.
    void Change();
};
