#include "editor/storesearch.h"

#include <QTextBoundaryFinder>

namespace {

// How far around a place the word boundaries are looked for, and how much
// of the text before a window a regular expression sees.
constexpr qsizetype lookAround = 256;
// The characters of the first window a search of a text kept in its file reads.
constexpr qsizetype firstWindow = 4096;

bool pairSplitAt(const TextStore &store, qsizetype at)
{
    return at > 0 && at < store.length() && store.at(at).isLowSurrogate() && store.at(at - 1).isHighSurrogate();
}

} // namespace

TextFinder::Hit findInStore(const TextStore &text, const TextFinder &finder, qsizetype start,
                            SearchDirection direction, qsizetype window)
{
    const bool down = direction == SearchDirection::Down;
    qsizetype found = -1;
    if (down && !finder.convertsCase() && text.findInBytes(finder.what(), start, &found))
        return found < 0 ? TextFinder::Hit {} : TextFinder::Hit {found, found + finder.what().size()};
    const auto splitsPair = [&](qsizetype at) { return pairSplitAt(text, at); };
    const qsizetype length = text.length();
    if (!text.file())
        window = length + 1;
    const auto viewEnd = [&](qsizetype startsEnd) {
        const qsizetype end = qMin(length, startsEnd + finder.longestMatch());
        return splitsPair(end) ? end + 1 : end;
    };
    const auto mayHold = [&](qsizetype from, qsizetype to) {
        return !finder.convertsCase() || text.mayHoldIgnoringCase(finder.what(), from, to);
    };
    // Windows of a file start small and grow, so that occurrences close
    // together cost little each and far apart few windows.
    qsizetype step = text.file() ? std::min<qsizetype>(window, firstWindow) : window;
    const auto grow = [&] { step = std::min(window, step * 2); };
    TextFinder::Hit hit;
    qsizetype offset = 0;
    if (down) {
        // A low surrogate after its high one starts nothing.
        qsizetype at = finder.convertsCase() && splitsPair(start) ? start + 1 : start;
        while (at < length && !hit.found()) {
            qsizetype startsEnd = qMin(length, at + step);
            if (splitsPair(startsEnd))
                ++startsEnd;
            grow();
            if (mayHold(at, viewEnd(startsEnd))) {
                hit = finder.find(text.contiguous(at, viewEnd(startsEnd)), 0, startsEnd - at, direction);
                offset = at;
            }
            at = startsEnd;
        }
    } else {
        // An occurrence that starts at from may end after it.
        qsizetype startsEnd = qMin(length, start + 1);
        while (startsEnd > 0 && !hit.found()) {
            qsizetype at = qMax(qsizetype(0), startsEnd - step);
            if (splitsPair(at))
                --at;
            grow();
            if (mayHold(at, viewEnd(startsEnd))) {
                hit = finder.find(text.contiguous(at, viewEnd(startsEnd)), 0, startsEnd - at, direction);
                offset = at;
            }
            startsEnd = at;
        }
    }
    if (!hit.found())
        return {};
    return {offset + hit.start, offset + hit.end};
}

StoreSearch::StoreSearch(const TextStore &store, const QString &what, SearchOptions options, qsizetype window)
    : m_store(store)
    , m_options(options)
    , m_window(window)
{
    if (!options.regularExpression) {
        m_finder = std::make_unique<TextFinder>(what, options.matchCase ? TextCase::Exact : TextCase::UpperCase);
        return;
    }
    QRegularExpression::PatternOptions patternOptions
        = QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::MultilineOption;
    if (!options.matchCase)
        patternOptions |= QRegularExpression::CaseInsensitiveOption;
    m_expression = QRegularExpression(what, patternOptions);
    if (!m_expression.isValid())
        m_error = m_expression.errorString();
    else
        m_expression.optimize();
}

bool StoreSearch::splitsPair(qsizetype at) const
{
    return pairSplitAt(m_store, at);
}

bool StoreSearch::isWordBoundary(qsizetype at) const
{
    const qsizetype line = m_store.lineAt(at);
    const qsizetype lineStart = m_store.lineStart(line);
    const qsizetype lineEnd = lineStart + m_store.lineLength(line);
    if (at <= lineStart || at >= lineEnd)
        return true;
    const qsizetype from = std::max(lineStart, at - lookAround);
    const QString text = m_store.text(from, std::min(lineEnd, at + lookAround) - from);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(at - from);
    return finder.isAtBoundary();
}

StoreSearch::Match StoreSearch::next(qsizetype from)
{
    if (!m_error.isEmpty())
        return {};
    if (m_options.regularExpression)
        return nextRegularExpression(from);
    while (from <= m_store.length()) {
        const TextFinder::Hit hit = findInStore(m_store, *m_finder, from, SearchDirection::Down, m_window);
        if (!hit.found())
            return {};
        if (!m_options.wholeWord || (isWordBoundary(hit.start) && isWordBoundary(hit.end)))
            return {hit.start, hit.end, {}};
        from = hit.start + (splitsPair(hit.start + 1) ? 2 : 1);
    }
    return {};
}

StoreSearch::Match StoreSearch::nextRegularExpression(qsizetype from)
{
    const qsizetype length = m_store.length();
    const qsizetype window = m_store.file() ? std::min(m_window, firstWindow) : length + 1;
    qsizetype grown = window;
    qsizetype at = from;
    while (at <= length) {
        qsizetype viewStart = std::max<qsizetype>(0, at - lookAround);
        if (splitsPair(viewStart))
            --viewStart;
        qsizetype viewEnd = grown >= length - at ? length : at + grown;
        if (splitsPair(viewEnd))
            ++viewEnd;
        const bool wholeRest = viewEnd == length;
        const QStringView view = m_store.contiguous(viewStart, viewEnd);
        // Short of the end, a match that more of the text could make, or
        // make longer, is looked for again with more of it.
        const auto type = wholeRest ? QRegularExpression::NormalMatch : QRegularExpression::PartialPreferFirstMatch;
        qsizetype again = -1;
        for (qsizetype start = at; again < 0;) {
            const QRegularExpressionMatch match = m_expression.match(view, start - viewStart, type);
            if (match.hasPartialMatch()) {
                again = viewStart + match.capturedStart();
                break;
            }
            if (!match.hasMatch()) {
                if (wholeRest)
                    return {};
                again = viewEnd;
                break;
            }
            const qsizetype s = viewStart + match.capturedStart();
            const qsizetype e = viewStart + match.capturedEnd();
            const bool emptyAgain = s == e && s == m_lastEmpty;
            if (emptyAgain || (m_options.wholeWord && !(isWordBoundary(s) && isWordBoundary(e)))) {
                if (s >= length)
                    return {};
                start = s + (splitsPair(s + 1) ? 2 : 1);
                continue;
            }
            m_lastEmpty = s == e ? s : -1;
            Match found {s, e, {}};
            for (int group = 0; group <= std::min(9, m_expression.captureCount()); ++group)
                found.groups.append(match.captured(group));
            return found;
        }
        // A window without a match is followed by a bigger one, up to the
        // most a window reads; one with a match that runs on grows as it must.
        if (again == at)
            grown *= 2;
        else if (again == viewEnd)
            grown = std::max(grown, std::min(grown * 2, m_window));
        else
            grown = window;
        at = again;
    }
    return {};
}

std::vector<TextStore::Replacement> StoreSearch::replaceAll(const QString &with, qsizetype *count,
                                                            const std::function<bool(qsizetype reached)> &goOn)
{
    std::vector<TextStore::Replacement> replacements;
    *count = 0;
    // A text kept in its file is searched in its bytes in one pass where
    // they allow.
    const auto take = [&](qsizetype at) {
        if (!m_options.wholeWord || (isWordBoundary(at) && isWordBoundary(at + m_finder->what().size()))) {
            ++*count;
            replacements.push_back({at, m_finder->what().size(), replacement({}, with)});
        }
        return !goOn || goOn(at + m_finder->what().size());
    };
    if (m_finder && !m_finder->convertsCase() && m_store.findAllInBytes(m_finder->what(), 0, take))
        return replacements;
    for (qsizetype from = 0;;) {
        const Match match = next(from);
        if (!match.found())
            break;
        ++*count;
        QString by = replacement(match, with);
        if (match.end > match.start || !by.isEmpty())
            replacements.push_back({match.start, match.end - match.start, std::move(by)});
        from = match.end;
        if (goOn && !goOn(from))
            break;
    }
    return replacements;
}

QString StoreSearch::replacement(const Match &match, const QString &with) const
{
    if (!m_options.regularExpression) {
        if (with != m_with || m_withStored.isNull()) {
            m_with = with;
            m_withStored = TextStore::storedForm(with);
        }
        return m_withStored;
    }
    QString out;
    out.reserve(with.size());
    for (qsizetype i = 0; i < with.size(); ++i) {
        const QChar c = with.at(i);
        if (c != QLatin1Char('\\') || i + 1 == with.size()) {
            out += isLineEndCharacter(c.unicode()) ? QChar(TextStore::lineBreak) : c;
            continue;
        }
        const QChar code = with.at(++i);
        if (code.isDigit() && code.unicode() <= u'9') {
            const int group = code.unicode() - u'0';
            if (group < match.groups.size())
                out += match.groups.at(group);
        } else if (code == QLatin1Char('n')) {
            out += QChar(TextStore::lineBreak);
        } else if (code == QLatin1Char('t')) {
            out += QLatin1Char('\t');
        } else if (code == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
        } else {
            out += c;
            out += code;
        }
    }
    return out;
}
