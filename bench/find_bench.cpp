// Times RichTextBox::findText on a document loaded from a file against
// QString's own search of the same text held in one string, over the same
// span, in the same run, and prints each figure as
//
//   name: value unit (ratio R against BASELINE, goal G)
//
// Usage: bench_find [--quick]
//   --quick  a 4 MB file instead of 100 MB, each figure the median of three
//            runs: a smoke run.

#include "platform/richtextbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr qsizetype MB = 1 << 20;

// ---- Figures

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString formatValue(double value)
{
    return value >= 100 ? QString::number(value, 'f', 0) : QString::number(value, 'g', 3);
}

void printFigure(const QString &name, double value, const QString &unit, double baseline,
                 const QString &against, const QString &goal)
{
    const QString ratio = QString::number(baseline > 0 ? value / baseline : 0, 'f', 2);
    const QString line = QStringLiteral("%1: %2 %3 (ratio %4 against %5, goal %6)\n")
                             .arg(name, formatValue(value), unit, ratio, against, goal);
    std::fputs(qPrintable(line), stdout);
    std::fflush(stdout);
}

double elapsedMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// ---- The test file

// The same words in the same order in every run. The word searched for is
// none of them.
class Words
{
public:
    const char *next()
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
        // About one word in forty carries an accent or a sharp s.
        if (r % 40 == 0)
            return accented[r / 40 % std::size(accented)];
        return plain[r / 40 % std::size(plain)];
    }

    quint32 below(quint32 n)
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(m_state >> 33) % n;
    }

private:
    quint64 m_state = 1;
};

// About size bytes of words in lines of 60 to 90-odd characters that end in
// CR LF, with word in it once at each of the given byte offsets.
QByteArray generateProse(qsizetype size, const char *word, std::vector<qsizetype> at)
{
    Words words;
    QByteArray text;
    text.reserve(size + 256);
    std::sort(at.begin(), at.end());
    auto planted = at.begin();
    const auto nextWord = [&]() -> const char * {
        if (planted != at.end() && text.size() >= *planted) {
            ++planted;
            return word;
        }
        return words.next();
    };
    while (text.size() < size) {
        const qsizetype lineEnd = text.size() + 60 + words.below(31);
        text += nextWord();
        while (text.size() < lineEnd)
            (text += ' ') += nextWord();
        text += "\r\n";
    }
    return text;
}

// ---- Searches

struct Search
{
    QString name;
    QString what;
    qsizetype from;
    SearchDirection direction;
    TextCase textCase;
};

// Times findText and QString's search in turns, so that a slow spell of the
// machine does not fall on one of them only; false where they disagree.
bool benchSearch(const RichTextBox &box, const QString &text, const Search &search, int runs)
{
    const bool down = search.direction == SearchDirection::Down;
    const Qt::CaseSensitivity cs = search.textCase == TextCase::Exact ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype ours = -1;
    qsizetype theirs = -1;
    const auto find = [&] { ours = box.findText(search.what, search.from, search.direction, search.textCase).start; };
    const auto baseline = [&] {
        theirs = down ? text.indexOf(search.what, search.from, cs) : text.lastIndexOf(search.what, search.from, cs);
    };
    // The first runs build what is built once: the upper-case table.
    find();
    baseline();
    std::vector<double> oursMs;
    std::vector<double> theirsMs;
    for (int run = 0; run < runs; ++run) {
        oursMs.push_back(elapsedMs(find));
        theirsMs.push_back(elapsedMs(baseline));
    }
    if (ours != theirs) {
        std::fprintf(stderr, "%s: findText found %lld, QString %lld\n", qPrintable(search.name),
                     static_cast<long long>(ours), static_cast<long long>(theirs));
        return false;
    }
    QString against = down ? QStringLiteral("QString::indexOf") : QStringLiteral("QString::lastIndexOf");
    if (cs == Qt::CaseInsensitive)
        against += QStringLiteral(" case-insensitive");
    printFigure(search.name, median(oursMs), QStringLiteral("ms"), median(theirsMs), against, QStringLiteral("2"));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool quick = QCoreApplication::arguments().contains(QLatin1StringView("--quick"));
    const qsizetype size = (quick ? 4 : 100) * MB;

    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("cannot create a temporary folder");
    // The word lies 1 MB before and 1 MB after the middle, where the
    // searches start.
    const QString path = folder.filePath(QStringLiteral("prose.txt"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(generateProse(size, "marmalade", {size / 2 - MB, size / 2 + MB})) < 0)
            qFatal("cannot write %s", qPrintable(path));
    }
    RichTextBox box;
    if (box.LoadFile(path).failed())
        qFatal("cannot load %s", qPrintable(path));
    const QString text = box.Text();
    const qsizetype middle = text.size() / 2;

    const QString label = QStringLiteral("%1 MB").arg(size / MB);
    const QString found = QStringLiteral("marmalade");
    const QString absent = QStringLiteral("zeppelin");
    const auto upper = [](const QString &word) { return word.toUpper(); };
    const std::vector<Search> searches {
        {QStringLiteral("find down, word 1 MB on, exact"), found, middle, SearchDirection::Down, TextCase::Exact},
        {QStringLiteral("find down, word 1 MB on, upper case"), upper(found), middle, SearchDirection::Down, TextCase::UpperCase},
        {QStringLiteral("find up, word 1 MB back, exact"), found, middle, SearchDirection::Up, TextCase::Exact},
        {QStringLiteral("find up, word 1 MB back, upper case"), upper(found), middle, SearchDirection::Up, TextCase::UpperCase},
        {QStringLiteral("find down, not in %1, exact").arg(label), absent, 0, SearchDirection::Down, TextCase::Exact},
        {QStringLiteral("find down, not in %1, upper case").arg(label), upper(absent), 0, SearchDirection::Down, TextCase::UpperCase},
        {QStringLiteral("find up, not in %1, exact").arg(label), absent, text.size(), SearchDirection::Up, TextCase::Exact},
        {QStringLiteral("find up, not in %1, upper case").arg(label), upper(absent), text.size(), SearchDirection::Up, TextCase::UpperCase},
    };
    bool agreed = true;
    for (const Search &search : searches)
        agreed = benchSearch(box, text, search, quick ? 3 : 9) && agreed;
    return agreed ? 0 : 1;
}
