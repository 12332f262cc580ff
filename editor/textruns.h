#pragma once

#include "editor/lineend.h"

#include <QStringView>

// Gives text, whose line breaks are each one u'\n' as the store keeps them,
// as the runs of characters between the breaks (onText) and each break's
// line end (onBreak), in order; lineEndOf gives the line end of the break
// numbered from 0 in text.
template <typename LineEndOf, typename OnText, typename OnBreak>
void readRuns(QStringView text, LineEndOf &&lineEndOf, OnText &&onText, OnBreak &&onBreak)
{
    qsizetype runStart = 0;
    qsizetype breaks = 0;
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1)) {
        if (at > runStart)
            onText(text.sliced(runStart, at - runStart));
        onBreak(lineEndOf(breaks++));
        runStart = at + 1;
    }
    if (text.size() > runStart)
        onText(text.sliced(runStart));
}
