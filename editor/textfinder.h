#pragma once

#include <QString>
#include <QStringView>

#include <memory>

// How a search compares: character by character as they are, or after both
// texts are converted to upper case as the system converts them.
enum class TextCase { Exact, UpperCase };
enum class SearchDirection { Down, Up };

class UpperCaseTable;

// Finds one string in text held in memory.
//
// Exact compares UTF-16 code units as they are. UpperCase converts each
// character of both texts on its own (a surrogate pair is one character)
// with the full mapping of the user's locale, so that ß becomes SS, and
// compares the results unit by unit. Positions stay those of the text as it
// is: an occurrence covers the whole characters whose upper case holds it,
// so "SS" and "S" both find "ß", as that one character. Among occurrences
// that start in the same character, Down takes the one that begins first in
// the converted text and Up the one that begins last.
class TextFinder
{
public:
    TextFinder(const QString &what, TextCase textCase);
    ~TextFinder();
    TextFinder(const TextFinder &) = delete;
    TextFinder &operator=(const TextFinder &) = delete;

    struct Hit
    {
        qsizetype start = -1; // in the text searched, or -1: none
        qsizetype end = -1;   // just after the last character covered
        bool found() const { return start >= 0; }
    };

    // The first (Down) or last (Up) occurrence that starts at a position in
    // [from, to) of text and lies wholly inside it. A low surrogate after a
    // high one starts nothing when converting case.
    Hit find(QStringView text, qsizetype from, qsizetype to, SearchDirection direction) const;

    const QString &what() const { return m_what; }
    // The most characters of the text one occurrence can cover.
    qsizetype longestMatch() const { return m_longestMatch; }
    bool convertsCase() const { return m_textCase == TextCase::UpperCase; }
    // Whether what holds a line break, or a character that a store keeps
    // for one: such a search must read the text with its breaks as CR LF.
    bool needsLineBreaks() const { return m_needsLineBreaks; }

private:
    Hit findUpperCase(QStringView text, qsizetype from, qsizetype to, SearchDirection direction) const;
    Hit matchFrom(QStringView text, qsizetype at, SearchDirection direction) const;
    qsizetype matchRest(QStringView text, qsizetype at, QStringView head) const;

    QString m_what;
    TextCase m_textCase;
    qsizetype m_longestMatch = 0;
    bool m_needsLineBreaks = false;
    // UpperCase only: what converted, the table, and which code units can
    // begin an occurrence (their character's upper case holds what's first
    // unit, or they need a closer look).
    QString m_upper;
    std::shared_ptr<const UpperCaseTable> m_table;
    std::unique_ptr<quint8[]> m_canStart;
};
