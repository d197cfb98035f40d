#pragma once

#include "CanonicalFolding.h"
#include "LiveMatches.h"
#include "MatchRange.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class TextAccess;

// Finds a search text in a document: canonically equivalent sequences match each other, case
// is compared by full Unicode case folding when it does not matter, and matches are reported
// left to right, never overlapping, as UTF-16 ranges of the searched text itself.
class TextMatcher
{
public:
    TextMatcher(const QString &searchText, Qt::CaseSensitivity caseSensitivity);

    const QString &searchText() const { return m_searchText; }
    Qt::CaseSensitivity caseSensitivity() const { return m_caseSensitivity; }
    bool isEmpty() const { return m_key.empty(); }

    // Every match in `text`.
    MatchList findAll(QStringView text) const;

    // Brings `matches`, those of the text before an edit at `position` that removed `removed`
    // units and added `added`, up to the text after it. Reads only the text near the edit: the
    // search starts a little before it and stops as soon as it meets the old matches again, and
    // the matches after that only move. The result always equals findAll() of the new text.
    void updateAfterEdit(LiveMatches &matches, const TextAccess &text, qsizetype position,
        qsizetype removed, qsizetype added) const;

    // One step of a search that reads the text a piece at a time: where the next step starts and
    // how far this one read.
    struct Step
    {
        qsizetype next = 0;
        qsizetype readEnd = 0;
    };
    // Appends the matches that start in [from, from + units) and returns where to go on. `from`
    // is 0 or the `next` of the previous step; stepping until `next` reaches the end of the text
    // finds exactly what findAll() finds, whatever the size of the steps.
    Step findStep(const TextAccess &text, qsizetype from, qsizetype units, MatchList &out) const;

private:
    // Appends the matches of `text` that start in [from, startLimit), where `from` is a segment
    // boundary and `text` reaches far enough past startLimit to decide them. Positions are
    // reported plus `offset`. Returns where the next search would continue.
    qsizetype findMatches(QStringView text, qsizetype from, qsizetype startLimit, qsizetype offset,
        MatchList &out) const;
    // The first occurrence of the folded key in `units` at or after `from`, or npos.
    std::size_t findKey(const std::u16string &units, std::size_t from) const;
    // findMatches() for an ASCII key over [from, startLimit) of a text that is ASCII there and
    // for a key's length and one unit past it: every unit is a segment of its own and folds to
    // itself or its lower case, so the key is compared with the text as it stands.
    qsizetype findAsciiMatches(QStringView text, qsizetype from, qsizetype startLimit,
        qsizetype offset, MatchList &out) const;
    // The first position in [from, end) where the text's first and last units match the key's.
    qsizetype findAsciiCandidate(const char16_t *text, qsizetype from, qsizetype end) const;
    bool isPlain(char16_t unit) const;
    // Where the stretch from `from` that the ASCII search can take as it stands ends (at most
    // `to`): a stretch of units that are each a segment of their own, ASCII or never part of a
    // match of this key.
    qsizetype plainStretchEnd(const char16_t *text, qsizetype from, qsizetype to) const;
    // How far past a match start the text must be read to decide that match.
    qsizetype lookahead() const { return 2 * qsizetype(m_key.size()) + 2; }

    QString m_searchText;
    Qt::CaseSensitivity m_caseSensitivity;
    CanonicalFolding::Folding m_folding;
    std::u16string m_key;
    std::array<std::uint16_t, 256> m_shift {};
    bool m_asciiKey = false;
    // For an ASCII key, what each unit of the Basic Multilingual Plane is to its search (UnitRole),
    // sorted the first time a search meets the unit. Shared by copies, which would sort alike.
    std::shared_ptr<std::atomic<std::uint8_t>[]> m_unitRoles;
};
