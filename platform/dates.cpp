#include "platform/dates.h"

#include <QDateTime>
#include <QLocale>

namespace {

// The locale's long time without its time zone, which the general date form
// does not show: every unquoted 't' goes, with the blanks it leaves.
QString longTimeFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            kept += c;
    }
    return kept.simplified();
}

} // namespace

QString GeneralDate(const QDateTime &moment)
{
    const QLocale locale;
    return locale.toString(moment.date(), QLocale::ShortFormat) + u' '
           + locale.toString(moment.time(), longTimeFormat(locale));
}
