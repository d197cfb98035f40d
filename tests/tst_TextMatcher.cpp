#include "MatchRangePairs.h"
#include "TestEnvironment.h"
#include "TextAccess.h"
#include "TextMatcher.h"

#include <QApplication>
#include <QRandomGenerator>

#include <iterator>

Q_DECLARE_METATYPE(Qt::CaseSensitivity)

namespace {

// Independent reference: tries every position with ICU-free string comparison of the folded
// forms, one segment-aligned candidate at a time.
MatchList bruteForce(const QString &text, const QString &key, Qt::CaseSensitivity sensitivity)
{
    const auto folding = sensitivity == Qt::CaseSensitive
        ? CanonicalFolding::Folding::CaseSensitive
        : CanonicalFolding::Folding::CaseInsensitive;
    const std::u16string foldedKey = CanonicalFolding::fold(key, folding);
    CanonicalFolding::FoldedText folded;
    CanonicalFolding::foldSegments(text, 0, text.size(), folding, folded);
    MatchList matches;
    if (foldedKey.empty())
        return matches;
    qsizetype allowedFrom = 0;
    for (std::size_t start = 0; start + foldedKey.size() <= folded.units.size(); ++start) {
        if (folded.units.compare(start, foldedKey.size(), foldedKey) != 0)
            continue;
        std::size_t hint = 0;
        const qsizetype origin = folded.originOfSegmentStart(qsizetype(start), hint);
        hint = 0;
        const qsizetype end
            = folded.originOfSegmentStart(qsizetype(start + foldedKey.size()), hint);
        if (origin < allowedFrom || origin < 0 || end < 0)
            continue;
        matches.append({origin, end - origin});
        allowedFrom = end;
    }
    return matches;
}

} // namespace

class TestTextMatcher : public QObject
{
    Q_OBJECT

private slots:
    void findsUnicodeMatches_data();
    void findsUnicodeMatches();
    void survivesBadInput_data();
    void survivesBadInput();
    void agreesWithBruteForceOnRandomText();
    void agreesWithBruteForceOnMostlyAsciiText();
    void incrementalEqualsFullSearch_data();
    void incrementalEqualsFullSearch();
    void searchesAcrossChunkBoundaries();
    void stepsFindWhatAFullSearchFinds();
};

void TestTextMatcher::findsUnicodeMatches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::CaseSensitivity>("sensitivity");
    QTest::addColumn<Ranges>("expected");

    const auto ci = Qt::CaseInsensitive;
    const auto cs = Qt::CaseSensitive;
    QTest::addRow("case-insensitive finds every casing")
        << u"Cat cat CAT cAt"_qs << u"Cat"_qs << ci << Ranges {{0, 3}, {4, 3}, {8, 3}, {12, 3}};
    QTest::addRow("case-sensitive finds only the exact casing")
        << u"Cat cat CAT cAt"_qs << u"Cat"_qs << cs << Ranges {{0, 3}};
    QTest::addRow("non-overlapping in aaa") << u"aaa"_qs << u"aa"_qs << cs << Ranges {{0, 2}};
    QTest::addRow("non-overlapping in aaaa")
        << u"aaaa"_qs << u"aa"_qs << cs << Ranges {{0, 2}, {2, 2}};
    QTest::addRow("UTF-16 ranges after an astral emoji")
        << u"\U0001F600\u00E9"_qs << u"\u00E9"_qs << ci << Ranges {{2, 1}};
    QTest::addRow("precomposed key finds decomposed text")
        << u"cafe\u0301"_qs << u"caf\u00E9"_qs << cs << Ranges {{0, 5}};
    QTest::addRow("decomposed key finds precomposed text")
        << u"caf\u00E9 x"_qs << u"cafe\u0301"_qs << cs << Ranges {{0, 4}};
    QTest::addRow("combining marks in another canonical order")
        << u"a\u0323\u0301"_qs << u"a\u0301\u0323"_qs << cs << Ranges {{0, 3}};
    QTest::addRow("base letter does not match inside a combining sequence")
        << u"e\u0301 e"_qs << u"e"_qs << ci << Ranges {{3, 1}};
    QTest::addRow("accent is not ignored")
        << u"resume r\u00E9sum\u00E9"_qs << u"r\u00E9sum\u00E9"_qs << ci << Ranges {{7, 6}};
    QTest::addRow("full case folding: sharp s matches ss")
        << u"Stra\u00DFe STRASSE"_qs << u"strasse"_qs << ci << Ranges {{0, 6}, {7, 7}};
    QTest::addRow("Kelvin sign folds to k")
        << u"\u212Aelvin"_qs << u"kelvin"_qs << ci << Ranges {{0, 6}};
    QTest::addRow("dotted capital I folds to i + dot")
        << u"\u0130stanbul"_qs << u"i\u0307stanbul"_qs << ci << Ranges {{0, 8}};
    QTest::addRow("Greek final sigma matches sigma case-insensitively")
        << u"\u039F\u03A3"_qs << u"\u03BF\u03C2"_qs << ci << Ranges {{0, 2}};
    QTest::addRow("astral letters fold (Deseret)")
        << u"\U00010400x"_qs << u"\U00010428X"_qs << ci << Ranges {{0, 3}};
    QTest::addRow("lone combining mark matches only where it stands alone")
        << u"\u0301a e\u0301"_qs << u"\u0301"_qs << ci << Ranges {{0, 1}};
    QTest::addRow("no occurrence") << u"hello"_qs << u"xyz"_qs << ci << Ranges {};
    QTest::addRow("key longer than text") << u"ab"_qs << u"abc"_qs << ci << Ranges {};
    QTest::addRow("CR LF is searched as written")
        << u"a\r\nb"_qs << u"\r\n"_qs << cs << Ranges {{1, 2}};
    QTest::addRow("astral letter between ASCII runs")
        << u"abcdefghij\U00010400abcdefghij"_qs << u"\U00010428"_qs << ci << Ranges {{10, 2}};
    QTest::addRow("emoji with skin tone")
        << u"\U0001F44D\U0001F3FD ok"_qs << u"\U0001F44D\U0001F3FD"_qs << cs << Ranges {{0, 4}};
}

void TestTextMatcher::findsUnicodeMatches()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(Qt::CaseSensitivity, sensitivity);
    QFETCH(Ranges, expected);
    QCOMPARE(toPairs(TextMatcher(key, sensitivity).findAll(text)), expected);
}

void TestTextMatcher::survivesBadInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<Ranges>("expected");

    QTest::addRow("lone high surrogate in text") << QString(u"a\xD800"
                                                            "b a"_qs)
                                                 << u"a"_qs << Ranges {{0, 1}, {4, 1}};
    QTest::addRow("lone surrogate as the key")
        << QString(u"x\xDC00y"_qs) << QString(u"\xDC00"_qs) << Ranges {{1, 1}};
    QTest::addRow("reversed surrogate pair")
        << QString(u"\xDC00\xD800"_qs) << QString(u"\xD800"_qs) << Ranges {{1, 1}};
    QTest::addRow("empty text") << QString() << u"a"_qs << Ranges {};
    QTest::addRow("key of one combining mark on a long run of marks")
        << (u"a"_qs + QString(100000, QChar(0x0301))) << u"\u0301"_qs << Ranges {};
    QTest::addRow("alternating classes of marks (no quadratic reordering)")
        << QString(200000, QChar(0x0301)).replace(u"\u0301\u0301"_qs, u"\u0323\u0301"_qs) << u"x"_qs
        << Ranges {};
    QTest::addRow("NUL units") << QString(4, QChar(0)) << QString(1, QChar(0))
                               << Ranges {{0, 1}, {1, 1}, {2, 1}, {3, 1}};
}

void TestTextMatcher::survivesBadInput()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(Ranges, expected);
    QCOMPARE(toPairs(TextMatcher(key, Qt::CaseInsensitive).findAll(text)), expected);
}

namespace {

// Random text over an alphabet chosen to collide: letters in both cases, their precomposed and
// decomposed accented forms, marks of different classes, folding expansions, surrogates.
QString randomText(QRandomGenerator &random, int length)
{
    static const QString pieces[] = {
        u"a"_qs,
        u"A"_qs,
        u"b"_qs,
        u"e"_qs,
        u"E"_qs,
        u" "_qs,
        u"\n"_qs,
        u"\r"_qs,
        u"\u00E9"_qs,
        u"\u00C9"_qs,
        u"\u0301"_qs,
        u"\u0323"_qs,
        u"\u00DF"_qs,
        u"s"_qs,
        u"S"_qs,
        u"\u1E9E"_qs,
        u"\u212A"_qs,
        u"k"_qs,
        u"\U0001F600"_qs,
        u"\U00010400"_qs,
        u"\U00010428"_qs,
        QString(QChar(0xD800)),
        QString(QChar(0xDC00)),
        u"\u0345"_qs,
        u"\u03B9"_qs,
        u"\uFB01"_qs,
        u"f"_qs,
        u"i"_qs,
    };
    constexpr int pieceCount = int(sizeof(pieces) / sizeof(pieces[0]));
    QString text;
    while (text.size() < length)
        text += pieces[random.bounded(pieceCount)];
    return text;
}

} // namespace

void TestTextMatcher::agreesWithBruteForceOnRandomText()
{
    QRandomGenerator random(20261207);
    const QString keys[] = {u"a"_qs, u"ae"_qs, u"e\u0301"_qs, u"\u00E9"_qs, u"ss"_qs, u"s"_qs,
        u"\u0301"_qs, u"k"_qs, u"fi"_qs, u"\U00010428"_qs, u"\u03B9"_qs, u"aa"_qs, u"a a"_qs};
    for (int round = 0; round < 300; ++round) {
        const QString text = randomText(random, 1 + random.bounded(200));
        for (const QString &key : keys) {
            for (auto sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                const MatchList fast = TextMatcher(key, sensitivity).findAll(text);
                const MatchList reference = bruteForce(text, key, sensitivity);
                if (fast != reference)
                    qWarning() << "text" << text << "key" << key;
                QCOMPARE(toPairs(fast), toPairs(reference));
            }
        }
    }
}

// Long stretches of ASCII are searched apart from the folding; what lies next to them (a mark
// that joins the last letter, a letter that folds to ASCII, an expansion) must still decide.
void TestTextMatcher::agreesWithBruteForceOnMostlyAsciiText()
{
    QRandomGenerator random(20261208);
    static const QString ascii = u"aAbtThHeE \r\n"_qs;
    static const QString rare[] = {u"\u0301"_qs, u"\u00E9"_qs, u"\u212A"_qs, u"\u017F"_qs,
        u"\u00DF"_qs, u"\uFB01"_qs, u"\U0001F600"_qs, u"\u00C4"_qs, u"\u0130"_qs, u"\u0345"_qs};
    const QString keys[] = {u"the"_qs, u"THE"_qs, u"a"_qs, u"e"_qs, u"ss"_qs, u"k"_qs, u"fi"_qs,
        u"ab a"_qs, u"e\r\n"_qs, u"i"_qs};
    // Rare units from one in 400 (long stretches of ASCII) to one in 8 (stretches cut short, and
    // rare units side by side).
    for (int round = 0; round < 6; ++round) {
        QString text;
        const int length = round < 3 ? 70000 : 500;
        const int rarity = round % 3 == 0 ? 400 : round % 3 == 1 ? 40 : 8;
        while (text.size() < length) {
            text += random.bounded(rarity) == 0 ? rare[random.bounded(int(std::size(rare)))]
                                                : QString(ascii[random.bounded(int(ascii.size()))]);
        }
        for (const QString &key : keys) {
            for (auto sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                const MatchList fast = TextMatcher(key, sensitivity).findAll(text);
                QCOMPARE(toPairs(fast), toPairs(bruteForce(text, key, sensitivity)));
            }
        }
    }
}

void TestTextMatcher::incrementalEqualsFullSearch_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<Qt::CaseSensitivity>("sensitivity");
    QTest::addColumn<QStringList>("alphabet");
    const QStringList mixed = {u"a"_qs, u"A"_qs, u"e"_qs, u" "_qs, u"\u00E9"_qs, u"\u0301"_qs,
        u"\u0323"_qs, u"s"_qs, u"\u00DF"_qs, u"\U00010400"_qs, QString(QChar(0xD800)), u"\n"_qs};
    QTest::addRow("single letter") << u"a"_qs << Qt::CaseInsensitive << mixed;
    QTest::addRow("self-overlapping key")
        << u"aa"_qs << Qt::CaseSensitive << QStringList {u"a"_qs, u"a"_qs, u"b"_qs, u"\u0301"_qs};
    QTest::addRow("long self-overlapping key")
        << u"abab"_qs << Qt::CaseInsensitive
        << QStringList {u"a"_qs, u"b"_qs, u"B"_qs, u"\u0301"_qs};
    QTest::addRow("precomposed key") << u"\u00E9"_qs << Qt::CaseInsensitive << mixed;
    QTest::addRow("key spanning segments")
        << u"\u00E9a\u00E9"_qs << Qt::CaseInsensitive
        << QStringList {u"e"_qs, u"\u0301"_qs, u"a"_qs, u"\u00C9"_qs, u"\u0323"_qs};
    QTest::addRow("folding expansion")
        << u"sss"_qs << Qt::CaseInsensitive
        << QStringList {u"s"_qs, u"\u00DF"_qs, u"S"_qs, u"\u0301"_qs};
    QTest::addRow("combining mark") << u"\u0301"_qs << Qt::CaseSensitive << mixed;
    QTest::addRow("astral letter") << u"\U00010428"_qs << Qt::CaseInsensitive << mixed;
    QTest::addRow("key with a space") << u"e a"_qs << Qt::CaseInsensitive
                                      << QStringList {u"e"_qs, u" "_qs, u"a"_qs, u"E"_qs, u"x"_qs};
}

void TestTextMatcher::incrementalEqualsFullSearch()
{
    QFETCH(QString, key);
    QFETCH(Qt::CaseSensitivity, sensitivity);
    QFETCH(QStringList, alphabet);
    const TextMatcher matcher(key, sensitivity);
    QRandomGenerator random(7);
    const auto randomPiece = [&](int pieces) {
        QString piece;
        for (int i = 0; i < pieces; ++i)
            piece += alphabet.at(random.bounded(int(alphabet.size())));
        return piece;
    };
    StringTextAccess document(randomPiece(300));
    // Runs of a few matches, so that edits cross runs and merge them.
    const auto live = [&](const QString &text) {
        return LiveMatches(matcher.findAll(text), 1 + random.bounded(5));
    };
    LiveMatches matches = live(document.text());
    for (int edit = 0; edit < 3000; ++edit) {
        QString &text = document.text();
        const qsizetype position = random.bounded(text.size() + 1);
        const qsizetype removed
            = random.bounded(std::min<qsizetype>(text.size() - position, 6) + 1);
        const QString inserted
            = random.bounded(3) == 0 ? QString() : randomPiece(1 + random.bounded(4));
        const QString before = text;
        text.replace(position, removed, inserted);
        matcher.updateAfterEdit(matches, document, position, removed, inserted.size());
        const MatchList full = matcher.findAll(text);
        if (matches.toList() != full)
            qWarning() << "edit" << edit << "at" << position << "removed" << removed << "inserted"
                       << inserted << "before" << before;
        QCOMPARE(toPairs(matches), toPairs(full));
        if (text.size() > 900) {
            text = text.mid(450);
            matches = live(text);
        }
    }
}

void TestTextMatcher::searchesAcrossChunkBoundaries()
{
    // Matches straddling every offset around the internal chunk size must be found once each.
    QString text;
    for (int i = 0; i < 9000; ++i)
        text += (i % 7 == 0) ? u"caf\u00E9 "_qs : u"cafe\u0301 "_qs;
    const MatchList matches = TextMatcher(u"CAF\u00C9"_qs, Qt::CaseInsensitive).findAll(text);
    QCOMPARE(matches.size(), 9000);
    QCOMPARE(toPairs(matches), toPairs(bruteForce(text, u"CAF\u00C9"_qs, Qt::CaseInsensitive)));
}

void TestTextMatcher::stepsFindWhatAFullSearchFinds()
{
    // Steps much shorter than a segment: long runs of combining marks straddle every step end.
    QRandomGenerator random(11);
    const QString keys[] = {u"a"_qs, u"\u00E9"_qs, u"e\u0301\u0301"_qs, u"ss"_qs, u"\U00010428"_qs,
        u"aa"_qs, u"a\u0323\u0301"_qs, u"\u0301"_qs};
    for (int round = 0; round < 60; ++round) {
        QString text = randomText(random, 1 + random.bounded(300));
        text.insert(random.bounded(text.size() + 1), u"a"_qs + QString(40, QChar(0x0301)));
        const StringTextAccess access(text);
        for (const QString &key : keys) {
            const TextMatcher matcher(key, Qt::CaseInsensitive);
            for (const qsizetype units : {1, 2, 5, 17}) {
                MatchList stepped;
                for (qsizetype next = 0; next < text.size();)
                    next = matcher.findStep(access, next, units, stepped).next;
                QCOMPARE(toPairs(stepped), toPairs(matcher.findAll(text)));
            }
        }
    }
}

SCRIVLET_TEST_MAIN(TestTextMatcher)
#include "tst_TextMatcher.moc"
