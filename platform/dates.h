#pragma once

#include <QString>

class QDateTime;

// A date and time in the system's general date form: the locale's short
// date followed by its long time.
QString GeneralDate(const QDateTime &moment);
