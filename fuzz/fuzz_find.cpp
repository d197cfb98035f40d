// The find engine: every shortcut it takes instead of a full search gives what a full search of
// the same text gives. The input makes a text, a search text, the case option and a series of
// edits; after each edit the matches carried over (TextMatcher::updateAfterEdit, and the same
// through FindState) must equal a full search of the new text, and so must a search read in
// steps of any size (TextMatcher::findStep, as SlicedSearch runs it across turns of the event
// loop, starting over when an edit lands in the part already read).

#include "FuzzCheck.h"

#include "CanonicalFolding.h"
#include "FindState.h"
#include "TextAccess.h"
#include "TextMatcher.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// Pieces that make matching hard: case folding that changes length (ß, ﬃ, İ), canonical
// equivalents (é and e + U+0301, Hangul syllables and jamo, Å and the ångström sign), combining
// marks that reorder, surrogate pairs and lone halves, line breaks.
const std::array<QString, 32> pieces = {u"a"_s, u"A"_s, u"b"_s, u"e"_s, u"E"_s, u"\u00E9"_s,
    u"\u0301"_s, u"\u0327"_s, u"\u0323"_s, u"\u00DF"_s, u"ss"_s, u"S"_s, u"\uFB03"_s, u"ffi"_s,
    u"\u0130"_s, u"i"_s, u"\u0131"_s, u"\u212B"_s, u"\u00C5"_s, u"\u03A3"_s, u"\u03C2"_s,
    u"\u1100"_s, u"\u1161"_s, u"\uAC00"_s, u"\U0001F600"_s, u"\xD83D"_s, u"\xDE00"_s, u"\n"_s,
    u"\r\n"_s, u" "_s, u"\u0344"_s, u"\u0F73"_s};

QString textFrom(FuzzedDataProvider &input, std::size_t maxPieces)
{
    QString text;
    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, maxPieces);
    for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        const auto choice = input.ConsumeIntegral<uint8_t>();
        if (choice < 224)
            text += pieces[choice % pieces.size()];
        else // now and then any code unit at all
            text += QChar(input.ConsumeIntegral<char16_t>());
    }
    return text;
}

void checkMatchList(const MatchList &matches, qsizetype length)
{
    qsizetype previousEnd = 0;
    for (const MatchRange &match : matches) {
        FUZZ_CHECK(match.length > 0);
        FUZZ_CHECK(match.location >= previousEnd);
        FUZZ_CHECK(match.end() <= length);
        previousEnd = match.end();
    }
}

// The whole text read in steps of the given sizes, as the sliced search reads it.
MatchList searchInSteps(
    const TextMatcher &matcher, const TextAccess &text, FuzzedDataProvider &input)
{
    MatchList found;
    for (qsizetype position = 0; position < text.length();) {
        const auto units = qsizetype(input.ConsumeIntegralInRange<int>(1, 80));
        const TextMatcher::Step step = matcher.findStep(text, position, units, found);
        FUZZ_CHECK(step.next > position);
        position = step.next;
    }
    return found;
}

struct Edit
{
    qsizetype position = 0;
    qsizetype removed = 0;
    QString added;
};

Edit editFrom(FuzzedDataProvider &input, qsizetype length)
{
    Edit edit;
    edit.position = qsizetype(input.ConsumeIntegralInRange<std::size_t>(0, std::size_t(length)));
    edit.removed = qsizetype(
        input.ConsumeIntegralInRange<std::size_t>(0, std::size_t(length - edit.position)));
    edit.added = textFrom(input, 6);
    return edit;
}

// The sliced search, one step at a time with edits in between: what it found stays valid as long
// as no edit touches the text it has read; an edit there makes it start over.
struct SteppedSearch
{
    MatchList found;
    qsizetype position = 0;
    qsizetype readEnd = 0;

    void step(const TextMatcher &matcher, const TextAccess &text, qsizetype units)
    {
        if (position >= text.length())
            return;
        const TextMatcher::Step next = matcher.findStep(text, position, units, found);
        position = next.next;
        readEnd = std::max(readEnd, next.readEnd);
    }
    void edited(qsizetype at)
    {
        if (at < readEnd)
            *this = {};
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool caseSensitive = input.ConsumeBool();
    const QString searchText = textFrom(input, 4);
    StringTextAccess text(textFrom(input, 400));

    const TextMatcher matcher(searchText, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    MatchList matches = matcher.findAll(text.text());
    checkMatchList(matches, text.length());
    const auto key = CanonicalFolding::fold(searchText,
        caseSensitive ? CanonicalFolding::Folding::CaseSensitive
                      : CanonicalFolding::Folding::CaseInsensitive);
    for (const MatchRange &match : matches) {
        const auto folded
            = CanonicalFolding::fold(QStringView(text.text()).sliced(match.location, match.length),
                caseSensitive ? CanonicalFolding::Folding::CaseSensitive
                              : CanonicalFolding::Folding::CaseInsensitive);
        FUZZ_CHECK(folded == key);
    }
    FUZZ_CHECK(searchInSteps(matcher, text, input) == matches);

    FindState state;
    state.setSearchText(searchText);
    state.setCaseSensitive(caseSensitive);
    state.searchAgain(text);
    FUZZ_CHECK(state.matchRanges().toList() == matches);

    // Runs of a few matches, so that edits cross and merge them.
    LiveMatches live(matches, input.ConsumeIntegralInRange<int>(1, 4));
    SteppedSearch stepped;
    for (int round = 0; round < 8 && input.remaining_bytes() > 0; ++round) {
        stepped.step(matcher, text, qsizetype(input.ConsumeIntegralInRange<int>(1, 120)));
        const Edit edit = editFrom(input, text.length());
        text.text().replace(edit.position, edit.removed, edit.added);
        const MatchList full = matcher.findAll(text.text());

        matcher.updateAfterEdit(live, text, edit.position, edit.removed, edit.added.size());
        FUZZ_CHECK(live.toList() == full);

        state.updateMatchesAfterEdit(text, edit.position, edit.removed, edit.added.size());
        FUZZ_CHECK(state.matchRanges().toList() == full);
        FUZZ_CHECK(state.matchRanges().isEmpty() == !state.currentMatchIndex().has_value());
        if (state.currentMatchIndex())
            FUZZ_CHECK(*state.currentMatchIndex() < state.matchCount());

        stepped.edited(edit.position);
    }
    while (stepped.position < text.length())
        stepped.step(matcher, text, qsizetype(input.ConsumeIntegralInRange<int>(1, 120)));
    FUZZ_CHECK(stepped.found == matcher.findAll(text.text()));

    // Replace and Replace All end with a search of the new text, which must be a full one.
    if (input.ConsumeBool()) {
        state.setReplaceText(textFrom(input, 3));
        if (input.ConsumeBool())
            state.replaceAll(text);
        else
            state.replaceCurrent(text);
        FUZZ_CHECK(state.matchRanges().toList() == matcher.findAll(text.text()));
    }
    return 0;
}
