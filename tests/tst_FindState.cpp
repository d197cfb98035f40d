#include "FindBarAccessibilityStrings.h"
#include "FindState.h"
#include "HighlightColors.h"
#include "MatchRangePairs.h"
#include "TestEnvironment.h"
#include "TextAccess.h"

#include <QApplication>
#include <QSignalSpy>
#include <QThread>

namespace {

std::optional<qsizetype> index(int value)
{
    return value < 0 ? std::nullopt : std::optional<qsizetype>(value);
}

// A document slow enough to read that every slice of a long search reads one step only.
class SlowText : public StringTextAccess
{
public:
    using StringTextAccess::StringTextAccess;
    QString read(qsizetype position, qsizetype count) const override
    {
        ++m_reads;
        QThread::msleep(10);
        return StringTextAccess::read(position, count);
    }
    int reads() const { return m_reads; }

private:
    mutable int m_reads = 0;
};

enum class Meanwhile { Nothing, EditReadPart, EditUnreadPart, ChangeSearchText, Dismiss };

} // namespace

Q_DECLARE_METATYPE(Meanwhile)

class TestFindState : public QObject
{
    Q_OBJECT

private slots:
    void countText_data();
    void countText();
    void stepping_data();
    void stepping();
    void everyAssignmentNotifies();
    void editsKeepTheCurrentIndexByPosition_data();
    void editsKeepTheCurrentIndexByPosition();
    void editAfterChangingTheSearchSearchesAgain();
    void replaceCurrent_data();
    void replaceCurrent();
    void replaceAll_data();
    void replaceAll();
    void staleRangesAreSkipped();
    void dismissKeepsTheSearch();
    void accessibilityLabelAndColors();
    void longTextIsSearchedInSlices_data();
    void longTextIsSearchedInSlices();
    void stepsAskedForWhileSearchingActWhenItEnds_data();
    void stepsAskedForWhileSearchingActWhenItEnds();
};

void TestFindState::countText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("expected");
    QTest::addRow("empty search shows nothing") << u"abc"_qs << QString() << QString();
    QTest::addRow("no occurrence") << u"abc"_qs << u"x"_qs << u"No matches"_qs;
    QTest::addRow("first search selects the first match")
        << u"a b a b a"_qs << u"a"_qs << u"1 of 3"_qs;
    QTest::addRow("no digit grouping") << QString(1500, u'z') << u"z"_qs << u"1 of 1500"_qs;
}

void TestFindState::countText()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, expected);
    FindState state;
    state.setSearchText(search);
    state.updateMatches(text);
    QCOMPARE(state.matchCountText(), expected);
    QCOMPARE(state.currentMatchIndex().has_value(), state.matchCount() > 0);
}

void TestFindState::stepping_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("expected");
    QTest::addRow("next moves on") << 3 << 0 << true << 1;
    QTest::addRow("next wraps from the last") << 3 << 2 << true << 0;
    QTest::addRow("previous wraps from the first") << 3 << 0 << false << 2;
    QTest::addRow("next from none starts at the first") << 3 << -1 << true << 0;
    QTest::addRow("previous from none starts at the last") << 3 << -1 << false << 2;
    QTest::addRow("single match stays (next)") << 1 << 0 << true << 0;
    QTest::addRow("single match stays (previous)") << 1 << 0 << false << 0;
    QTest::addRow("no matches leaves none") << 0 << -1 << true << -1;
}

void TestFindState::stepping()
{
    QFETCH(int, count);
    QFETCH(int, start);
    QFETCH(bool, forward);
    QFETCH(int, expected);
    FindState state;
    MatchList ranges;
    for (int i = 0; i < count; ++i)
        ranges.append({i * 2, 1});
    state.setMatchRanges(LiveMatches(ranges));
    state.setCurrentMatchIndex(index(start));
    QSignalSpy spy(&state, &FindState::currentMatchIndexChanged);
    forward ? state.findNext() : state.findPrevious();
    QCOMPARE(state.currentMatchIndex(), index(expected));
    QCOMPARE(spy.count(), count == 0 ? 0 : 1);
}

void TestFindState::everyAssignmentNotifies()
{
    FindState state;
    QSignalSpy search(&state, &FindState::searchTextChanged);
    QSignalSpy ranges(&state, &FindState::matchRangesChanged);
    QSignalSpy visible(&state, &FindState::visibleChanged);
    QSignalSpy mode(&state, &FindState::modeChanged);
    state.setSearchText(u"x"_qs);
    state.setSearchText(u"x"_qs);
    state.updateMatches(u"no hit"_qs);
    state.updateMatches(u"no hit"_qs);
    state.show(FindMode::FindAndReplace);
    QCOMPARE(search.count(), 2);
    QCOMPARE(ranges.count(), 2);
    QCOMPARE(visible.count(), 1);
    QCOMPARE(mode.count(), 1);
    QVERIFY(state.isVisible());
    QCOMPARE(state.mode(), FindMode::FindAndReplace);
}

void TestFindState::editsKeepTheCurrentIndexByPosition_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<int>("expected");
    QTest::addRow("same count keeps the index although matches moved")
        << u"cat cat cat"_qs << 2 << 0 << 0 << u"xx "_qs << 2;
    QTest::addRow("removing an earlier match keeps the ordinal")
        << u"cat cat cat cat"_qs << 1 << 0 << 4 << QString() << 1;
    QTest::addRow("count falling to the index makes the first current")
        << u"cat cat cat"_qs << 2 << 8 << 3 << QString() << 0;
    QTest::addRow("no match left gives none") << u"cat"_qs << 0 << 1 << 1 << QString() << -1;
}

void TestFindState::editAfterChangingTheSearchSearchesAgain()
{
    // Ranges of an earlier search text must not be carried over as if they were current.
    FindState state;
    state.setSearchText(u"cat"_qs);
    StringTextAccess text(u"cat dog cat dog"_qs);
    state.updateMatches(text.text());
    state.setSearchText(u"dog"_qs);
    text.text().append(u"!"_qs);
    state.updateMatchesAfterEdit(text, text.length() - 1, 0, 1);
    QCOMPARE(toPairs(state.matchRanges()), (Ranges {{4, 3}, {12, 3}}));
}

void TestFindState::editsKeepTheCurrentIndexByPosition()
{
    QFETCH(QString, before);
    QFETCH(int, current);
    QFETCH(int, position);
    QFETCH(int, removed);
    QFETCH(QString, inserted);
    QFETCH(int, expected);

    // The incremental update after an edit and a full search of the new text agree.
    FindState incremental;
    FindState full;
    for (FindState *state : {&incremental, &full}) {
        state->setSearchText(u"cat"_qs);
        state->updateMatches(before);
        state->setCurrentMatchIndex(current);
    }
    StringTextAccess text(before);
    text.text().replace(position, removed, inserted);
    incremental.updateMatchesAfterEdit(text, position, removed, inserted.size());
    full.updateMatches(text.text());
    QCOMPARE(toPairs(incremental.matchRanges()), toPairs(full.matchRanges()));
    QCOMPARE(incremental.currentMatchIndex(), index(expected));
    QCOMPARE(full.currentMatchIndex(), index(expected));
}

void TestFindState::replaceCurrent_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<int>("expectedIndex");
    QTest::addRow("middle match: index then names the next one")
        << u"a1 a2 a3 a4 a5"_qs << u"a"_qs << u"b"_qs << 2 << u"a1 a2 b3 a4 a5"_qs << 4 << 2;
    QTest::addRow("last match wraps to the first")
        << u"a1 a2 a3"_qs << u"a"_qs << u"b"_qs << 2 << u"a1 a2 b3"_qs << 2 << 0;
    QTest::addRow("replacement containing the search stays put")
        << u"cat dog"_qs << u"cat"_qs << u"cats"_qs << 0 << u"cats dog"_qs << 1 << 0;
    QTest::addRow("empty replacement deletes")
        << u"x cat y"_qs << u"cat"_qs << QString() << 0 << u"x  y"_qs << 0 << -1;
    QTest::addRow("no pattern expansion")
        << u"ab"_qs << u"a"_qs << u"$0\\1"_qs << 0 << u"$0\\1b"_qs << 0 << -1;
}

void TestFindState::replaceCurrent()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QFETCH(int, current);
    QFETCH(QString, expectedText);
    QFETCH(int, expectedCount);
    QFETCH(int, expectedIndex);
    FindState state;
    state.setSearchText(search);
    state.setReplaceText(replacement);
    state.updateMatches(text);
    state.setCurrentMatchIndex(current);
    StringTextAccess document(text);
    state.replaceCurrent(document);
    QCOMPARE(document.text(), expectedText);
    QCOMPARE(state.matchCount(), expectedCount);
    QCOMPARE(state.currentMatchIndex(), index(expectedIndex));
}

void TestFindState::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedLabel");
    QTest::addRow("cat to dog") << u"cat cat cat"_qs << u"cat"_qs << u"dog"_qs << u"dog dog dog"_qs
                                << u"No matches"_qs;
    QTest::addRow("growing replacement in one pass")
        << u"a b a"_qs << u"a"_qs << u"aa"_qs << u"aa b aa"_qs << u"1 of 4"_qs;
    QTest::addRow("empty replacement deletes every match")
        << u"xAyaz"_qs << u"a"_qs << QString() << u"xyz"_qs << u"No matches"_qs;
    QTest::addRow("canonically equivalent matches of different lengths")
        << u"caf\u00E9 cafe\u0301"_qs << u"caf\u00E9"_qs << u"tea"_qs << u"tea tea"_qs
        << u"No matches"_qs;
}

void TestFindState::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedLabel);
    FindState state;
    state.setSearchText(search);
    state.setReplaceText(replacement);
    state.updateMatches(text);
    StringTextAccess document(text);
    state.replaceAll(document);
    QCOMPARE(document.text(), expectedText);
    QCOMPARE(state.matchCountText(), expectedLabel);
}

void TestFindState::staleRangesAreSkipped()
{
    FindState state;
    state.setSearchText(u"ab"_qs);
    state.setReplaceText(u"X"_qs);
    state.updateMatches(u"ab ab ab"_qs);
    StringTextAccess shorter(u"ab ab"_qs); // the text lost its end since the last search
    state.setCurrentMatchIndex(2);
    state.replaceCurrent(shorter);
    QCOMPARE(shorter.text(), u"ab ab"_qs);
    state.updateMatches(u"ab ab ab"_qs);
    state.replaceAll(shorter);
    QCOMPARE(shorter.text(), u"X X"_qs);
}

void TestFindState::dismissKeepsTheSearch()
{
    FindState state;
    state.setSearchText(u"needle"_qs);
    state.setCaseSensitive(true);
    state.show(FindMode::FindAndReplace);
    state.updateMatches(u"needle"_qs);
    state.dismiss();
    QVERIFY(!state.isVisible());
    QVERIFY(state.matchRanges().isEmpty());
    QCOMPARE(state.currentMatchIndex(), std::nullopt);
    QCOMPARE(state.searchText(), u"needle"_qs);
    QVERIFY(state.isCaseSensitive());
    QCOMPARE(state.mode(), FindMode::FindAndReplace);
    QCOMPARE(state.matchCountText(), u"No matches"_qs);
}

void TestFindState::accessibilityLabelAndColors()
{
    QCOMPARE(FindBarAccessibilityStrings::matchCountLabel(QString()), u"No search results"_qs);
    QCOMPARE(
        FindBarAccessibilityStrings::matchCountLabel(u"2 of 5"_qs), u"Search results: 2 of 5"_qs);
}

void TestFindState::longTextIsSearchedInSlices_data()
{
    QTest::addColumn<Meanwhile>("meanwhile");
    QTest::addColumn<bool>("published");
    QTest::addRow("undisturbed") << Meanwhile::Nothing << true;
    QTest::addRow("edit where it has read: starts over") << Meanwhile::EditReadPart << true;
    QTest::addRow("edit where it has not read yet") << Meanwhile::EditUnreadPart << true;
    QTest::addRow("search text changed: dropped") << Meanwhile::ChangeSearchText << false;
    QTest::addRow("dismissed: dropped") << Meanwhile::Dismiss << false;
}

void TestFindState::longTextIsSearchedInSlices()
{
    QFETCH(Meanwhile, meanwhile);
    QFETCH(bool, published);
    QString words;
    while (words.size() < 10 * 65536)
        words += u"cat dog "_qs;
    SlowText text(words);
    FindState state;
    state.show(FindMode::FindAndReplace);
    state.setSearchText(u"cat"_qs);
    state.setReplaceText(u"x"_qs);
    state.searchAgain(text);
    QVERIFY(state.isSearching());
    QVERIFY(state.matchRanges().isEmpty()); // the old matches until the search is done
    while (text.reads() == 0)
        QCoreApplication::processEvents();
    QVERIFY(state.isSearching());
    state.replaceAll(text); // the matches shown may be an older search's: refused
    QCOMPARE(text.text(), words);

    if (meanwhile == Meanwhile::EditReadPart || meanwhile == Meanwhile::EditUnreadPart) {
        const qsizetype position = meanwhile == Meanwhile::EditReadPart ? 0 : text.length();
        text.text().insert(position, u" cat "_qs);
        state.updateMatchesAfterEdit(text, position, 0, 5);
    } else if (meanwhile == Meanwhile::ChangeSearchText) {
        state.setSearchText(u"dog"_qs);
    } else if (meanwhile == Meanwhile::Dismiss) {
        state.dismiss();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!state.isSearching(), 20000);
    if (published) {
        FindState full;
        full.setSearchText(u"cat"_qs);
        full.updateMatches(text.text());
        QCOMPARE(state.matchCount(), full.matchCount());
        QCOMPARE(toPairs(state.matchRanges()), toPairs(full.matchRanges()));
        QCOMPARE(state.currentMatchIndex(), index(0));
    } else {
        QVERIFY(state.matchRanges().isEmpty());
    }
}

void TestFindState::stepsAskedForWhileSearchingActWhenItEnds_data()
{
    QTest::addColumn<QString>("steps"); // n: Find Next, p: Find Previous
    QTest::addColumn<int>("expectedIndex");
    QTest::addRow("none: the first match") << QString() << 0;
    QTest::addRow("Return once: the second match") << u"n"_qs << 1;
    QTest::addRow("Return three times") << u"nnn"_qs << 3;
    QTest::addRow("more steps than matches wrap") << u"nnnnnn"_qs << 1;
    QTest::addRow("previous wraps to the last") << u"p"_qs << 4;
    QTest::addRow("next then previous") << u"np"_qs << 0;
}

// Return in the find panel, or Find Next, pressed while a long text is still being searched is
// not lost: the step is taken when the matches arrive, as it would have been on a short text.
void TestFindState::stepsAskedForWhileSearchingActWhenItEnds()
{
    QFETCH(QString, steps);
    QFETCH(int, expectedIndex);
    QString words = QString(3 * FindState::immediateSearchUnits, u'x');
    for (int at : {10, 1000, 100000, 500000, 700000})
        words.replace(at, 3, u"cat"_qs);
    SlowText text(words);
    FindState state;
    state.setSearchText(u"cat"_qs);
    state.searchAgain(text);
    QVERIFY(state.isSearching());
    QCOMPARE(state.matchCountText(), u"Searching\u2026"_qs);
    for (QChar step : steps) {
        if (step == u'n')
            state.findNext();
        else
            state.findPrevious();
    }
    QVERIFY(state.isSearching());
    QTRY_VERIFY_WITH_TIMEOUT(!state.isSearching(), 20000);
    QCOMPARE(state.matchCount(), 5);
    QCOMPARE(state.currentMatchIndex(), index(expectedIndex));
    QCOMPARE(state.matchCountText(), u"%1 of 5"_qs.arg(expectedIndex + 1));
}

SCRIVLET_TEST_MAIN(TestFindState)
#include "tst_FindState.moc"
