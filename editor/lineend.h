#pragma once

#include <QChar>
#include <QStringView>

#include <functional>

// The ways a line can end in a file: every character at which the text
// store starts a new line.
enum class LineEnd : int { CrLf, Lf, Cr, ParagraphSeparator, Fdd0, Fdd1 };
constexpr int lineEndKinds = 6;

QStringView lineEndText(LineEnd lineEnd);
LineEnd platformLineEnd();
// Whether c is one of the characters line ends are made of.
bool isLineEndCharacter(QChar c);
// The first character at or after p that may start a line end (any control
// up to CR, or anything from U+2029 on), or end.
const char16_t *nextLineEndCandidate(const char16_t *p, const char16_t *end);
// The line end that starts at text[at], one of those characters, and how
// many characters it takes.
LineEnd lineEndAt(const char16_t *text, qsizetype at, qsizetype size, qsizetype &taken);
// Makes each line end of the text one u'\n', as the store keeps text,
// telling onBreak its line end and where the u'\n' now stands; gives the
// text's new length.
qsizetype storeLineBreaks(char16_t *text, qsizetype size, const std::function<void(LineEnd, qsizetype)> &onBreak);
