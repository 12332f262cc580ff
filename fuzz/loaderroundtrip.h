#pragma once

#include <QByteArrayView>
#include <QString>

// Writes bytes to a file in folder, opens it into a text store (decoded whole,
// and kept in its file) and saves it to another file, which must hold the
// same bytes; the text must read as long as the store says. Gives what went
// wrong, or an empty string.
QString loaderRoundTripFault(QByteArrayView bytes, const QString &folder);
