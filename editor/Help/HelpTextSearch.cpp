#include "HelpTextSearch.h"

#include <QString>

#include <vector>

namespace {

constexpr char16_t capitalI = u'I';
constexpr char16_t capitalDottedI = u'\u0130';
constexpr char16_t smallDotlessI = u'\u0131';

bool usesTurkicCasing(const QLocale &locale)
{
    return locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani;
}

// Turkish pairs I with ı and İ with i. Writing the capitals as their small letters first gives
// the default case folding (which pairs I with i) nothing left to get wrong.
QString withTurkicCapitalsLowered(QStringView text)
{
    QString result = text.toString();
    for (QChar &unit : result) {
        if (unit == QChar(capitalI))
            unit = QChar(smallDotlessI);
        else if (unit == QChar(capitalDottedI))
            unit = QLatin1Char('i');
    }
    return result;
}

// The lower-case form of a text, with the way back: originAt[i] is the position in the original
// of the character whose lower-case form starts at i, or -1 when i lies inside such a form. One
// more entry maps the end.
struct LowerCaseMap
{
    QString text;
    std::vector<qsizetype> originAt;
};

LowerCaseMap lowerCaseWithMap(QStringView text)
{
    LowerCaseMap map;
    map.text.reserve(text.size());
    map.originAt.reserve(std::size_t(text.size()) + 1);
    qsizetype position = 0;
    while (position < text.size()) {
        const QChar unit = text[position];
        map.originAt.push_back(position);
        if (unit.unicode() < 0x80) {
            map.text.append(unit.toLower());
            ++position;
            continue;
        }
        const bool pair = unit.isHighSurrogate() && position + 1 < text.size()
            && text[position + 1].isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        // Qt's lower-case mapping is the full, context-free Unicode one, so mapping each
        // character alone gives the same text as mapping the whole string.
        const QString lower = text.sliced(position, length).toString().toLower();
        map.originAt.insert(map.originAt.end(), std::size_t(lower.size()) - 1, -1);
        map.text += lower;
        position += length;
    }
    map.originAt.push_back(text.size());
    return map;
}

} // namespace

namespace HelpTextSearch {

Containment::Containment(QStringView term, const QLocale &locale)
    : m_emptyTerm(term.isEmpty())
    , m_turkicCasing(usesTurkicCasing(locale))
    , m_matcher(
          m_turkicCasing ? withTurkicCapitalsLowered(term) : term.toString(), Qt::CaseInsensitive)
{ }

bool Containment::isFoundIn(QStringView text) const
{
    if (m_emptyTerm)
        return true;
    if (m_turkicCasing)
        return !m_matcher.findAll(withTurkicCapitalsLowered(text)).isEmpty();
    return !m_matcher.findAll(text).isEmpty();
}

bool contains(QStringView text, QStringView term, const QLocale &locale)
{
    return Containment(term, locale).isFoundIn(text);
}

MatchList highlightSpans(QStringView text, QStringView term)
{
    MatchList spans;
    if (term.isEmpty())
        return spans;
    const QString lowerTerm = lowerCaseWithMap(term).text;
    const LowerCaseMap lower = lowerCaseWithMap(text);
    qsizetype from = 0;
    while (true) {
        const qsizetype hit = lower.text.indexOf(lowerTerm, from, Qt::CaseSensitive);
        if (hit < 0)
            break;
        from = hit + lowerTerm.size();
        const qsizetype start = lower.originAt[std::size_t(hit)];
        const qsizetype end = lower.originAt[std::size_t(from)];
        if (start >= 0 && end >= 0)
            spans.append({start, end - start});
    }
    return spans;
}

} // namespace HelpTextSearch
