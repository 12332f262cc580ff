#pragma once

// What the benchmarks share: timing, the line they print for each figure,
// and the prose they work on.
//
//   name: value unit (ratio R against BASELINE, goal G)

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

constexpr qsizetype MB = 1 << 20;

double median(std::vector<double> values);
double elapsedMs(const std::function<void()> &work);
void printFigure(const QString &name, double value, const QString &unit, double baseline, const QString &against,
                 const QString &goal);

// The same words in the same order in every run: mostly plain English, about
// one word in forty with an accent or a sharp s.
class Words
{
public:
    const char *next();
    quint32 below(quint32 n);

private:
    quint64 m_state = 1;
};

// About size bytes of words in lines of 60 to 90-odd characters that end in
// CR LF, or in one single line without any break. plant, when given, stands
// once at each of the byte offsets in plantAt.
QByteArray generateProse(qsizetype size, bool lineBreaks, const char *plant = nullptr,
                         std::vector<qsizetype> plantAt = {});
// A file of at least size bytes of that prose with line breaks, 64 MB of it
// written again and again.
void writeProseFile(const QString &path, qint64 size);

// A field of /proc/self/status ("VmRSS", "RssAnon"), in kB.
qint64 processStatusKb(const char *field);
