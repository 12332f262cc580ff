#include "benchsupport.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <iterator>

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

namespace {

QString formatValue(double value)
{
    return value >= 100 ? QString::number(value, 'f', 0) : QString::number(value, 'g', 3);
}

} // namespace

void printFigure(const QString &name, double value, const QString &unit, double baseline, const QString &against,
                 const QString &goal)
{
    const QString ratio = QString::number(baseline > 0 ? value / baseline : 0, 'f', 2);
    const QString line = QStringLiteral("%1: %2 %3 (ratio %4 against %5, goal %6)\n")
                             .arg(name, formatValue(value), unit, ratio, against, goal);
    std::fputs(qPrintable(line), stdout);
    std::fflush(stdout);
}

const char *Words::next()
{
    static const char *const plain[] = {
        "the", "of", "and", "a", "to", "in", "is", "was", "that", "for", "it", "with", "as", "his",
        "on", "be", "at", "by", "had", "not", "are", "but", "from", "or", "have", "an", "they",
        "which", "one", "you", "were", "her", "all", "she", "there", "would", "their", "we",
        "him", "been", "has", "when", "who", "will", "more", "no", "if", "out", "so", "said",
        "river", "morning", "letters", "window", "quietly", "harbour", "afterwards", "lantern",
    };
    static const char *const accented[] = {"café", "naïve", "déjà", "façade", "über", "señor", "rôle",
                                           "Straße", "groß", "weiß", "Fuß", "Größe"};
    const quint32 r = below(1u << 30);
    if (r % 40 == 0)
        return accented[r / 40 % std::size(accented)];
    return plain[r / 40 % std::size(plain)];
}

quint32 Words::below(quint32 n)
{
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return quint32(m_state >> 33) % n;
}

void writeProseFile(const QString &path, qint64 size)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const QByteArray prose = generateProse(64 * MB, true);
    while (out.size() < size) {
        if (out.write(prose) != prose.size())
            qFatal("cannot write %s", qPrintable(path));
    }
}

qint64 processStatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QByteArray generateProse(qsizetype size, bool lineBreaks, const char *plant, std::vector<qsizetype> plantAt)
{
    Words words;
    QByteArray text;
    text.reserve(size + 256);
    std::sort(plantAt.begin(), plantAt.end());
    auto planted = plantAt.begin();
    const auto nextWord = [&]() -> const char * {
        if (plant && planted != plantAt.end() && text.size() >= *planted) {
            ++planted;
            return plant;
        }
        return words.next();
    };
    while (text.size() < size) {
        const qsizetype lineEnd = lineBreaks ? text.size() + 60 + words.below(31) : size;
        text += nextWord();
        while (text.size() < lineEnd)
            (text += ' ') += nextWord();
        if (lineBreaks)
            text += "\r\n";
    }
    return text;
}
