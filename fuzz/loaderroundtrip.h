#pragma once

#include <QByteArrayView>
#include <QString>

// Writes bytes to a file in folder, loads it into an edit control and saves
// it to another file, which must hold the same bytes; Text must be as long as
// textLength says. Gives what went wrong, or an empty string.
QString loaderRoundTripFault(QByteArrayView bytes, const QString &folder);
