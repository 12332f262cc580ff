#pragma once

#include "editor/textfinder.h"
#include "editor/textstore.h"

#include <QRegularExpression>
#include <QStringList>

// The first (Down) occurrence of finder's string that starts at or after
// from, or the last (Up) that starts at or before from, in store positions.
// A text kept in its file is searched in its bytes where they allow, else a
// window of about window characters at a time, each with what an occurrence
// may cover beyond it, so that it is never copied whole; a window whose
// bytes rule the string out is not decoded. A text in memory is one view.
TextFinder::Hit findInStore(const TextStore &store, const TextFinder &finder, qsizetype from,
                            SearchDirection direction, qsizetype window);

// How a search for replacing compares.
struct SearchOptions
{
    bool matchCase = false;
    // Only occurrences that start and end where Ctrl+Left and Ctrl+Right stop.
    bool wholeWord = false;
    // Perl's syntax with Unicode's classes; ^ and $ match at each line.
    bool regularExpression = false;
};

// Finds one occurrence after another down a store, for replacing them.
//
// Without a regular expression it compares as findInStore does (without
// Match Case as TextFinder's UpperCase). A regular expression sees each line
// break as "\n" and is matched a window at a time in a text kept in its file,
// the window growing while a match could run on beyond it; what comes before
// a window stays in sight for look-behinds, ^ and \b.
class StoreSearch
{
public:
    StoreSearch(const TextStore &store, const QString &what, SearchOptions options, qsizetype window);

    // Why the regular expression cannot be used, or empty.
    QString error() const { return m_error; }

    struct Match
    {
        qsizetype start = -1;
        qsizetype end = -1;
        // Of a regular expression: the whole match and groups 1 to 9.
        QStringList groups;
        bool found() const { return start >= 0; }
    };
    // The first occurrence that starts at or after from. An empty one where
    // the last one given was empty is passed over, so that going on from
    // each one's end takes every place once.
    Match next(qsizetype from);
    // Every occurrence from the start down, each with its replacement, for
    // TextStore::replaceEach; count tells how many there were (one that
    // would change nothing is counted, not given). goOn is asked after each
    // with the place reached: false stops there.
    std::vector<TextStore::Replacement> replaceAll(const QString &with, qsizetype *count,
                                                   const std::function<bool(qsizetype reached)> &goOn = {});
    // An empty occurrence at is passed over, as if next() had just given it.
    void passOverEmptyAt(qsizetype at) { m_lastEmpty = at; }

    // What replaces match: with as it is, or for a regular expression with
    // \0 to \9 the match and its groups, \n a line break, \t a tab and \\ a
    // backslash. Line breaks as the store keeps them.
    QString replacement(const Match &match, const QString &with) const;

private:
    Match nextRegularExpression(qsizetype from);
    bool splitsPair(qsizetype at) const;
    bool isWordBoundary(qsizetype at) const;

    const TextStore &m_store;
    SearchOptions m_options;
    qsizetype m_window;
    std::unique_ptr<TextFinder> m_finder;
    QRegularExpression m_expression;
    QString m_error;
    qsizetype m_lastEmpty = -1;
    // A replacement without groups, made once for every occurrence.
    mutable QString m_with;
    mutable QString m_withStored;
};
