#pragma once

#include "LiveMatches.h"
#include "MatchRange.h"

#include <QList>
#include <QPair>

// Match ranges as (location, length) pairs, which QCOMPARE can print when lists differ.
using Ranges = QList<QPair<qsizetype, qsizetype>>;

inline Ranges toPairs(const MatchList &matches)
{
    Ranges pairs;
    for (const MatchRange &match : matches)
        pairs.append({match.location, match.length});
    return pairs;
}

inline Ranges toPairs(const LiveMatches &matches)
{
    return toPairs(matches.toList());
}
