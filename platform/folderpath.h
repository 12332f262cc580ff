#pragma once

#include "platform/error.h"

#include <QString>

// The folder the folder and file lists are pointed at: path absolute (a
// relative one is taken from the current folder), clean and with "/"
// separators, in folder. Fails (path not found) when it is not a folder
// that can be read; folder is left alone then.
Error readableFolder(const QString &path, QString &folder);
