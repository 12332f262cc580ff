#include "editor/textfinder.h"

#include "editor/lineend.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr qsizetype unitCount = 0x10000;

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u < 0xDC00; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u < 0xE000; }

// A low surrogate that completes the pair before it starts no character.
bool continuesPair(const char16_t *text, qsizetype at)
{
    return at > 0 && isLowSurrogate(text[at]) && isHighSurrogate(text[at - 1]);
}

} // namespace

// Each character's upper case in one locale, looked up by code unit. The
// system's conversion is slow, so it runs once per character here; planes
// beyond the first only when a text uses them.
class UpperCaseTable
{
public:
    explicit UpperCaseTable(const QLocale &locale);

    const QString &localeName() const { return m_localeName; }

    // Whether the unit needs upperAt: a high surrogate, or a character whose
    // upper case is not one code unit.
    bool isSpecial(char16_t unit) const { return m_special[unit] != 0; }
    // The upper case of a character that is not special (an unpaired low
    // surrogate is itself).
    char16_t single(char16_t unit) const { return m_single[unit]; }

    // The upper case of the character that starts at text[at], and in units
    // how long that character is.
    QStringView upperAt(QStringView text, qsizetype at, qsizetype &length) const;

    // Marks the code units whose character's upper case holds unit.
    void markHolders(char16_t unit, quint8 *marks) const;

private:
    const QHash<char32_t, QString> &plane(int number) const;

    QLocale m_locale;
    QString m_localeName;
    std::vector<char16_t> m_single;
    std::vector<quint8> m_special;
    // The characters of one unit whose upper case is longer, in order.
    std::vector<std::pair<char16_t, QString>> m_longer;
    // (upper case, unit) of every character that is not special, in order.
    std::vector<std::pair<char16_t, char16_t>> m_byUpper;
    // Per plane beyond the first, the characters that change.
    mutable std::array<std::once_flag, 17> m_planeOnce;
    mutable std::array<QHash<char32_t, QString>, 17> m_planes;
};

UpperCaseTable::UpperCaseTable(const QLocale &locale)
    : m_locale(locale)
    , m_localeName(locale.bcp47Name())
    , m_single(unitCount)
    , m_special(unitCount)
{
    m_byUpper.reserve(unitCount);
    for (qsizetype u = 0; u < unitCount; ++u) {
        const char16_t unit = char16_t(u);
        if (isHighSurrogate(unit)) {
            m_special[u] = 1;
            continue;
        }
        // Alone, a low surrogate is a character that no case changes.
        const QString upper = isLowSurrogate(unit) ? QString(QChar(unit)) : m_locale.toUpper(QString(QChar(unit)));
        if (upper.size() == 1 && !upper.front().isSurrogate()) {
            m_single[u] = upper.front().unicode();
            m_byUpper.emplace_back(m_single[u], unit);
        } else {
            m_special[u] = 1;
            m_longer.emplace_back(unit, upper);
        }
    }
    std::sort(m_byUpper.begin(), m_byUpper.end());
}

const QHash<char32_t, QString> &UpperCaseTable::plane(int number) const
{
    std::call_once(m_planeOnce[number], [&] {
        QHash<char32_t, QString> &changes = m_planes[number];
        const char32_t first = char32_t(number) << 16;
        for (char32_t c = first; c < first + unitCount; ++c) {
            const QString character = QString::fromUcs4(&c, 1);
            const QString upper = m_locale.toUpper(character);
            if (upper != character)
                changes.insert(c, upper);
        }
    });
    return m_planes[number];
}

QStringView UpperCaseTable::upperAt(QStringView text, qsizetype at, qsizetype &length) const
{
    const char16_t unit = text[at].unicode();
    length = 1;
    if (!isSpecial(unit))
        return QStringView(&m_single[unit], 1);
    if (!isHighSurrogate(unit)) {
        const auto longer = std::lower_bound(m_longer.begin(), m_longer.end(), unit,
                                             [](const auto &entry, char16_t value) { return entry.first < value; });
        return longer->second;
    }
    if (at + 1 >= text.size() || !isLowSurrogate(text[at + 1].unicode()))
        return text.sliced(at, 1);
    length = 2;
    const char32_t c = QChar::surrogateToUcs4(unit, text[at + 1].unicode());
    const QHash<char32_t, QString> &changes = plane(int(c >> 16));
    const auto found = changes.constFind(c);
    return found == changes.cend() ? text.sliced(at, 2) : QStringView(*found);
}

void UpperCaseTable::markHolders(char16_t unit, quint8 *marks) const
{
    const auto range = std::equal_range(m_byUpper.begin(), m_byUpper.end(), std::pair(unit, char16_t(0)),
                                        [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto it = range.first; it != range.second; ++it)
        marks[it->second] = 1;
    for (const auto &[character, upper] : m_longer) {
        if (upper.contains(QChar(unit)))
            marks[character] = 1;
    }
    // A pair's upper case is known only once both halves are read.
    for (char16_t high = 0xD800; high < 0xDC00; ++high)
        marks[high] = 1;
}

namespace {

// The table of the user's locale, built again only when that changes.
std::shared_ptr<const UpperCaseTable> currentUpperCaseTable()
{
    static std::mutex mutex;
    static std::shared_ptr<const UpperCaseTable> table;
    const QLocale locale;
    const std::lock_guard lock(mutex);
    if (!table || table->localeName() != locale.bcp47Name())
        table = std::make_shared<const UpperCaseTable>(locale);
    return table;
}

} // namespace

TextFinder::TextFinder(const QString &what, TextCase textCase)
    : m_what(what)
    , m_textCase(textCase)
{
    m_needsLineBreaks = std::any_of(what.begin(), what.end(), isLineEndCharacter);
    if (textCase == TextCase::Exact) {
        m_longestMatch = what.size();
        return;
    }
    m_table = currentUpperCaseTable();
    for (qsizetype at = 0, length = 0; at < what.size(); at += length)
        m_upper += m_table->upperAt(what, at, length);
    // Each character covered gives at least one unit of the occurrence, and
    // has at most two.
    m_longestMatch = 2 * m_upper.size();
    if (m_upper.isEmpty())
        return;
    m_canStart.reset(new quint8[unitCount]);
    std::memset(m_canStart.get(), 0, unitCount);
    m_table->markHolders(m_upper.front().unicode(), m_canStart.get());
}

TextFinder::~TextFinder() = default;

TextFinder::Hit TextFinder::find(QStringView text, qsizetype from, qsizetype to, SearchDirection direction) const
{
    from = qMax(from, qsizetype(0));
    to = qMin(to, text.size());
    if (m_what.isEmpty() || from >= to)
        return {};
    if (m_textCase == TextCase::UpperCase)
        return findUpperCase(text, from, to, direction);

    const qsizetype size = m_what.size();
    const qsizetype last = qMin(to - 1, text.size() - size); // the last start that fits
    if (last < from)
        return {};
    const qsizetype at = direction == SearchDirection::Down
                             ? text.first(last + size).indexOf(m_what, from)
                             : text.sliced(from).lastIndexOf(m_what, last - from);
    if (at < 0)
        return {};
    const qsizetype start = direction == SearchDirection::Down ? at : from + at;
    return {start, start + size};
}

TextFinder::Hit TextFinder::findUpperCase(QStringView text, qsizetype from, qsizetype to,
                                          SearchDirection direction) const
{
    const char16_t *units = text.utf16();
    const quint8 *canStart = m_canStart.get();
    if (direction == SearchDirection::Down) {
        for (qsizetype at = from; at < to; ++at) {
            if (!canStart[units[at]] || continuesPair(units, at))
                continue;
            if (const Hit hit = matchFrom(text, at, direction); hit.found())
                return hit;
        }
    } else {
        for (qsizetype at = to - 1; at >= from; --at) {
            if (!canStart[units[at]] || continuesPair(units, at))
                continue;
            if (const Hit hit = matchFrom(text, at, direction); hit.found())
                return hit;
        }
    }
    return {};
}

// An occurrence that begins in the character at text[at], at the first
// (Down) or last (Up) place in its upper case where one can.
TextFinder::Hit TextFinder::matchFrom(QStringView text, qsizetype at, SearchDirection direction) const
{
    qsizetype length = 0;
    const QStringView upper = m_table->upperAt(text, at, length);
    const QChar first = m_upper.front();
    const qsizetype n = upper.size();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype k = direction == SearchDirection::Down ? i : n - 1 - i;
        if (upper[k] != first)
            continue;
        if (const qsizetype end = matchRest(text, at + length, upper.sliced(k)); end >= 0)
            return {at, end};
    }
    return {};
}

// Whether the upper case of text from at on, after head (the rest of the
// first character's), begins with what's; returns where the last character
// it needs ends, or -1.
qsizetype TextFinder::matchRest(QStringView text, qsizetype at, QStringView head) const
{
    const QStringView wanted(m_upper);
    const qsizetype inHead = qMin(head.size(), wanted.size());
    if (head.first(inHead) != wanted.first(inHead))
        return -1;
    qsizetype matched = inHead;
    while (matched < wanted.size()) {
        if (at >= text.size())
            return -1;
        const char16_t unit = text[at].unicode();
        if (!m_table->isSpecial(unit)) {
            if (m_table->single(unit) != wanted[matched])
                return -1;
            ++matched;
            ++at;
            continue;
        }
        qsizetype length = 0;
        const QStringView upper = m_table->upperAt(text, at, length);
        const qsizetype count = qMin(upper.size(), wanted.size() - matched);
        if (upper.first(count) != wanted.sliced(matched, count))
            return -1;
        matched += count;
        at += length;
    }
    return at;
}
