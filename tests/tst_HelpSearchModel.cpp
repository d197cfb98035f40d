#include "HelpSearchModel.h"
#include "HelpTextSearch.h"
#include "MatchRangePairs.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QSet>
#include <QSignalSpy>

Q_DECLARE_METATYPE(QLocale::Language)

namespace {

const QStringList allTitles {u"Getting Started"_qs, u"Working with Documents"_qs, u"Editing"_qs,
    u"Find & Replace"_qs, u"View Options"_qs, u"Preferences"_qs, u"Appearance"_qs, u"Printing"_qs,
    u"File Manager Extension"_qs, u"Keyboard Shortcuts"_qs, u"Help"_qs, u"Technical Notes"_qs};

QStringList titles(const QList<HelpSection> &sections)
{
    QStringList result;
    for (const HelpSection &section : sections)
        result << section.title;
    return result;
}

const HelpSection &sectionTitled(const QList<HelpSection> &sections, const QString &title)
{
    return sections.at(titles(sections).indexOf(title));
}

} // namespace

class TestHelpSearchModel : public QObject
{
    Q_OBJECT

private slots:
    void contentHasTwelveSectionsInOrder();
    void contentKeepsTypographicCharacters();
    void shortcutTableHasTwentyThreeRows();
    void everyBuildHasFreshIds();
    void filters_data();
    void filters();
    void containment_data();
    void containment();
    void highlights_data();
    void highlights();
    void clearingShowsEverythingAgain();
    void noResultsNamesTheTerm();
};

void TestHelpSearchModel::contentHasTwelveSectionsInOrder()
{
    const QList<HelpSection> sections = HelpContent::buildSections();
    QCOMPARE(titles(sections), allTitles);
    QList<qsizetype> itemCounts;
    for (const HelpSection &section : sections)
        itemCounts << section.items.size();
    QCOMPARE(itemCounts, (QList<qsizetype> {2, 6, 4, 7, 5, 13, 1, 1, 7, 1, 1, 3}));
}

void TestHelpSearchModel::contentKeepsTypographicCharacters()
{
    const QList<HelpSection> sections = HelpContent::buildSections();
    // Apostrophes are typographic everywhere; a straight one is a typing slip.
    for (const HelpSection &section : sections) {
        for (const HelpItem &item : section.items) {
            for (const QString &text : item.texts())
                QVERIFY2(!text.contains(QLatin1Char('\'')), qPrintable(text));
        }
    }
    const HelpItem &dismiss = sectionTitled(sections, u"Find & Replace"_qs).items.last();
    QCOMPARE(dismiss.term, u"Dismiss"_qs);
    QCOMPARE(dismiss.text,
        u"Press Esc or close the dialog. Your search text is preserved \u2014 reopening the "
        u"dialog shows your last search."_qs);
    const HelpItem &open = sectionTitled(sections, u"Working with Documents"_qs).items.at(1);
    QVERIFY(open.text.endsWith(u"choose \"Open With\" > Scrivlet."_qs));
    const HelpItem &plain = sectionTitled(sections, u"File Manager Extension"_qs).items.last();
    QCOMPARE(plain.kind, HelpItem::Kind::BulletPlain);
    QCOMPARE(plain.text,
        u"For folders you haven\u2019t authorized, Scrivlet will open to handle the file "
        u"creation."_qs);
}

void TestHelpSearchModel::shortcutTableHasTwentyThreeRows()
{
    const HelpSection shortcuts
        = sectionTitled(HelpContent::buildSections(), u"Keyboard Shortcuts"_qs);
    QCOMPARE(shortcuts.items.size(), 1);
    const QList<HelpShortcut> rows = shortcuts.items.first().shortcuts;
    QCOMPARE(rows.size(), 23);
    QCOMPARE(rows.first(), (HelpShortcut {u"Ctrl+N"_qs, u"New document"_qs}));
    QCOMPARE(rows.at(17), (HelpShortcut {u"Esc"_qs, u"Dismiss Find"_qs}));
    QCOMPARE(rows.last(), (HelpShortcut {u"Ctrl+,"_qs, u"Settings"_qs}));
    // The dividers open the groups that start with Undo, Find and the view toggles.
    QStringList groupStarts;
    for (int row : HelpContent::shortcutDividerRows)
        groupStarts << rows.at(row).action;
    QCOMPARE(groupStarts, (QStringList {u"Undo"_qs, u"Find"_qs, u"Toggle line numbers"_qs}));
}

void TestHelpSearchModel::everyBuildHasFreshIds()
{
    QSet<QUuid> ids;
    for (int build = 0; build < 2; ++build) {
        for (const HelpSection &section : HelpContent::buildSections()) {
            QVERIFY(!section.id.isNull());
            ids.insert(section.id);
        }
    }
    QCOMPARE(ids.size(), 24);
}

void TestHelpSearchModel::filters_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("empty shows all") << QString() << allTitles;
    QTest::addRow("print: title, paragraph and a shortcut action")
        << u"print"_qs << QStringList {u"Printing"_qs, u"Keyboard Shortcuts"_qs};
    QTest::addRow("upper case finds the same")
        << u"PRINT"_qs << QStringList {u"Printing"_qs, u"Keyboard Shortcuts"_qs};
    QTest::addRow("CTRL+ in nine sections")
        << u"CTRL+"_qs
        << QStringList {u"Getting Started"_qs, u"Working with Documents"_qs, u"Editing"_qs,
               u"Find & Replace"_qs, u"View Options"_qs, u"Preferences"_qs, u"Printing"_qs,
               u"Keyboard Shortcuts"_qs, u"Help"_qs};
    QTest::addRow("Ctrl+, with the comma")
        << u"Ctrl+,"_qs << QStringList {u"Preferences"_qs, u"Keyboard Shortcuts"_qs};
    QTest::addRow("one space is a term found everywhere") << u" "_qs << allTitles;
    QTest::addRow("zzz finds nothing") << u"zzz"_qs << QStringList();
    QTest::addRow("a bullet term alone")
        << u"smart naming"_qs << QStringList {u"File Manager Extension"_qs};
    QTest::addRow("curly apostrophe")
        << u"DON\u2019T"_qs << QStringList {u"Working with Documents"_qs};
}

void TestHelpSearchModel::filters()
{
    QFETCH(QString, term);
    QFETCH(QStringList, expected);
    HelpSearchModel model(QLocale(QLocale::English, QLocale::UnitedStates));
    model.setSearchText(term);
    const QList<HelpSection> shown = model.filteredSections();
    QCOMPARE(titles(shown), expected);
    // Sections are shown whole, never trimmed to their matching items.
    for (const HelpSection &section : shown) {
        QCOMPARE(section.items, sectionTitled(model.allSections(), section.title).items);
        QCOMPARE(section.id, sectionTitled(model.allSections(), section.title).id);
    }
    QCOMPARE(model.hasNoResults(), expected.isEmpty());
}

void TestHelpSearchModel::containment_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("term");
    QTest::addColumn<QLocale::Language>("language");
    QTest::addColumn<bool>("expected");

    const auto english = QLocale::English;
    const auto turkish = QLocale::Turkish;
    QTest::addRow("case ignored") << u"Café"_qs << u"CAFÉ"_qs << english << true;
    QTest::addRow("diacritic counts") << u"Café"_qs << u"cafe"_qs << english << false;
    QTest::addRow("no diacritic in the text") << u"Cafe"_qs << u"café"_qs << english << false;
    QTest::addRow("canonical equivalents") << u"Cafe\u0301"_qs << u"CAFÉ"_qs << english << true;
    QTest::addRow("sharp s folds to ss") << u"STRASSE"_qs << u"straße"_qs << english << true;
    QTest::addRow("English: I is the capital of i")
        << u"Increase"_qs << u"inc"_qs << english << true;
    QTest::addRow("Turkish: I is the capital of dotless i")
        << u"Increase"_qs << u"\u0131nc"_qs << turkish << true;
    QTest::addRow("Turkish: i is not the small I")
        << u"Increase"_qs << u"inc"_qs << turkish << false;
    QTest::addRow("Turkish: dotted capital I")
        << u"\u0130stanbul"_qs << u"istanbul"_qs << turkish << true;
    QTest::addRow("empty term") << u"anything"_qs << QString() << english << true;
}

void TestHelpSearchModel::containment()
{
    QFETCH(QString, text);
    QFETCH(QString, term);
    QFETCH(QLocale::Language, language);
    QFETCH(bool, expected);
    QCOMPARE(HelpTextSearch::contains(text, term, QLocale(language)), expected);
}

void TestHelpSearchModel::highlights_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("term");
    QTest::addColumn<Ranges>("expected");

    QTest::addRow("every occurrence, any case")
        << u"Print the printout"_qs << u"print"_qs << Ranges {{0, 5}, {10, 5}};
    QTest::addRow("hits never overlap") << u"aaa"_qs << u"aa"_qs << Ranges {{0, 2}};
    QTest::addRow("Ctrl++ holds one ctrl+") << u"Ctrl++"_qs << u"CTRL+"_qs << Ranges {{0, 5}};
    QTest::addRow("spaces") << u"a b c"_qs << u" "_qs << Ranges {{1, 1}, {3, 1}};
    QTest::addRow("empty term") << u"text"_qs << QString() << Ranges {};
    QTest::addRow("empty text") << QString() << u"x"_qs << Ranges {};
    QTest::addRow("after a letter that grows when lower-cased")
        << u"\u0130stanbul print"_qs << u"print"_qs << Ranges {{9, 5}};
    QTest::addRow("the grown letter itself") << u"x\u0130x"_qs << u"\u0130"_qs << Ranges {{1, 1}};
    QTest::addRow("half of the grown letter is skipped")
        << u"\u0130i"_qs << u"i"_qs << Ranges {{1, 1}};
    QTest::addRow("after a surrogate pair")
        << u"\U0001D400 Print"_qs << u"print"_qs << Ranges {{3, 5}};
    QTest::addRow("lower-case mapping, not folding") << u"STRASSE"_qs << u"ß"_qs << Ranges {};
}

void TestHelpSearchModel::highlights()
{
    QFETCH(QString, text);
    QFETCH(QString, term);
    QFETCH(Ranges, expected);
    QCOMPARE(toPairs(HelpTextSearch::highlightSpans(text, term)), expected);
}

void TestHelpSearchModel::clearingShowsEverythingAgain()
{
    HelpSearchModel model;
    QSignalSpy changes(&model, &HelpSearchModel::searchTextChanged);
    model.setSearchText(u"print"_qs);
    model.setSearchText(u"print"_qs);
    QCOMPARE(changes.size(), 1);
    QVERIFY(model.isSearching());

    model.setSearchText(QString());
    QCOMPARE(changes.size(), 2);
    QVERIFY(!model.isSearching());
    QCOMPARE(titles(model.filteredSections()), allTitles);
    QCOMPARE(model.filteredSections().first().id, model.allSections().first().id);
}

void TestHelpSearchModel::noResultsNamesTheTerm()
{
    HelpSearchModel model;
    model.setSearchText(u"zzz"_qs);
    QVERIFY(model.hasNoResults());
    QCOMPARE(model.noResultsMessage(), u"No results for \"zzz\""_qs);
    QCOMPARE(HelpSearchModel::noResultsHint(), u"Try a different search term."_qs);
    // The term is shown as typed, even when it looks like a placeholder.
    model.setSearchText(u"%1 %2"_qs);
    QCOMPARE(model.noResultsMessage(), u"No results for \"%1 %2\""_qs);
}

SCRIVLET_TEST_MAIN(TestHelpSearchModel)

#include "tst_HelpSearchModel.moc"
