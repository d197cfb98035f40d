#pragma once

#include <QList>
#include <QtGlobal>

// A found occurrence: a range in UTF-16 code units of the searched text.
struct MatchRange
{
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    friend bool operator==(const MatchRange &, const MatchRange &) = default;
};

using MatchList = QList<MatchRange>;
