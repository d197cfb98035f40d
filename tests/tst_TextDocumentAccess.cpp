#include "TextDocumentAccess.h"

#include "TestEnvironment.h"
#include "TextDocument.h"
#include "TextMatcher.h"

#include <QRandomGenerator>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// A document holding `text` in many pieces, typed in out of order, as after a session of edits.
void fillInPieces(TextDocument &document, const QString &text)
{
    QRandomGenerator random(3);
    document.setText(text.first(text.size() / 2));
    for (qsizetype at = text.size() / 2; at < text.size();) {
        const qsizetype count = std::min<qsizetype>(1 + random.bounded(40), text.size() - at);
        document.replace(at, 0, QStringView(text).sliced(at, count));
        document.breakTypingCoalescing();
        at += count;
    }
}

MatchList rangesFrom(const QList<qsizetype> &pairs)
{
    MatchList ranges;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        ranges.append({pairs[i], pairs[i + 1]});
    return ranges;
}

} // namespace

class tst_TextDocumentAccess : public QObject
{
    Q_OBJECT

private slots:
    void replaceRanges_data();
    void replaceRanges();
    void findAllInSnapshot_data();
    void findAllInSnapshot();
    void searchOnWorkerWhileEditing();
};

void tst_TextDocumentAccess::replaceRanges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qsizetype>>("ranges"); // location, length, location, length, …
    QTest::addColumn<QString>("replacement");
    const QString words = u"the cat and the dog\r\nthe end\u2029the"_s;
    QTest::addRow("one range") << words << QList<qsizetype> {4, 3} << u"bird"_s;
    QTest::addRow("first and last units") << words << QList<qsizetype> {0, 3, 29, 3} << u"THE"_s;
    QTest::addRow("every match, longer")
        << words << QList<qsizetype> {0, 3, 12, 3, 21, 3, 29, 3} << u"these"_s;
    QTest::addRow("removed") << words << QList<qsizetype> {3, 1, 7, 1, 11, 1} << QString();
    QTest::addRow("adjacent ranges")
        << u"aaaa"_s << QList<qsizetype> {0, 1, 1, 1, 2, 1, 3, 1} << u"bc"_s;
    QTest::addRow("range between CR and LF")
        << u"x\r\ny\r\n"_s << QList<qsizetype> {1, 1, 4, 1} << u"\n"_s;
    const QString longText = u"a line of text with the word in it\n"_s.repeated(3000);
    QList<qsizetype> spread;
    for (qsizetype at = longText.indexOf(u"the"); at >= 0; at = longText.indexOf(u"the", at + 1))
        spread << at << 3;
    QTest::addRow("thousands of ranges over many pieces") << longText << spread << u"a"_s;
}

// Replace All gives the text a string gives, is one change and one step: one undo restores the
// text with the caret after the first range, and redo puts it after the first replacement.
void tst_TextDocumentAccess::replaceRanges()
{
    QFETCH(QString, text);
    QFETCH(QList<qsizetype>, ranges);
    QFETCH(QString, replacement);
    const MatchList matches = rangesFrom(ranges);
    QVERIFY(matches.last().end() <= text.size());
    StringTextAccess expected(text);
    expected.replaceRanges(matches, replacement);

    TextDocument document;
    fillInPieces(document, text);
    QCOMPARE(document.toString(), text);
    document.setModified(false);
    QString mirror = text;
    int changes = 0;
    connect(&document, &TextDocument::contentsChange, this,
        [&](qsizetype position, qsizetype removed, qsizetype added) {
            ++changes;
            mirror.replace(position, removed, document.text(position, added));
        });
    TextDocumentAccess access(&document);
    access.replaceRanges(matches, replacement);
    QCOMPARE(access.wholeText(), expected.text());
    QCOMPARE(mirror, expected.text());
    QCOMPARE(changes, 1);
    QVERIFY(document.isModified());

    const MatchRange first = matches.first();
    QCOMPARE(document.undo(), std::optional<qsizetype>(first.end()));
    QCOMPARE(document.toString(), text);
    QCOMPARE(mirror, text);
    QVERIFY(!document.isModified());
    QCOMPARE(document.redo(), std::optional<qsizetype>(first.location + replacement.size()));
    QCOMPARE(document.toString(), expected.text());
    QCOMPARE(changes, 3);
}

void tst_TextDocumentAccess::findAllInSnapshot_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("caseSensitive");
    // Long enough to be searched in halves, with matches and combining marks on every offset.
    const QString mixed = u"The the THE e\u0301 \u00E9 x\r\n"_s.repeated(130000);
    QTest::addRow("word, any case") << mixed << u"the"_s << false;
    QTest::addRow("word, case as given") << mixed << u"The"_s << true;
    QTest::addRow("canonical equivalents") << mixed << u"\u00E9"_s << false;
    QTest::addRow("across lines") << mixed << u"x\r\nthe"_s << false;
    QTest::addRow("empty text") << QString() << u"the"_s << false;
    // The halves' searches meet only at the last match, or never.
    const QString plain = QString(3'000'000, u'a');
    QTest::addRow("rare word") << u"rare"_s + plain + u"rare"_s << u"rare"_s << false;
    QTest::addRow("no match after the middle") << u"rare"_s + plain << u"rare"_s << false;
    // Overlapping candidates: where the second half starts decides what it finds first. With the
    // edit the test makes at a third, the middle falls off the first half's steps of three.
    QTest::addRow("overlapping candidates") << plain << u"aaa"_s << true;
    // Runs of combining marks longer than a segment may be are cut into segments.
    const QString marks = u"e"_s + QString(45, QChar(0x301)) + u" e\u0301x "_s;
    QTest::addRow("long runs of combining marks") << marks.repeated(60000) << u"e\u0301"_s << false;
}

// A full search read from a snapshot window by window finds what a search of the whole string
// finds.
void tst_TextDocumentAccess::findAllInSnapshot()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(bool, caseSensitive);
    const TextMatcher matcher(search, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    TextDocument document(text);
    document.replace(text.size() / 3, 0, u"an edit, the"_s);
    const QString edited = document.toString();
    const MatchList found = SnapshotTextAccess::findAll(matcher, document.snapshot());
    const MatchList expected = matcher.findAll(edited);
    QCOMPARE(found.size(), expected.size());
    QVERIFY(found == expected);
}

// A worker searches a snapshot while this thread edits the document it came from, Replace All
// included: it finds the matches of the text as it was when the snapshot was taken.
void tst_TextDocumentAccess::searchOnWorkerWhileEditing()
{
    const QString text = u"the quick brown fox jumps over the lazy dog\n"_s.repeated(60000);
    TextDocument document(text);
    const TextMatcher matcher(u"the"_s, Qt::CaseInsensitive);
    const MatchList expected = matcher.findAll(text);
    MatchList found;
    std::atomic<bool> searching = true;
    std::thread worker([&found, &searching, &matcher, snapshot = document.snapshot()] {
        found = SnapshotTextAccess::findAll(matcher, snapshot);
        searching = false;
    });
    TextDocumentAccess access(&document);
    QRandomGenerator random(11);
    int edits = 0;
    while (searching || edits < 10) {
        const qsizetype at = qsizetype(random.bounded(quint64(document.length())));
        document.replace(at, random.bounded(5), u"THE"_s);
        if (++edits % 20 == 0)
            access.replaceRanges(matcher.findAll(document.text(0, 100000)), u"a"_s);
        if (edits % 7 == 0)
            document.undo();
    }
    worker.join();
    QVERIFY(found == expected);
    QVERIFY(document.toString() != text);
}

SCRIVLET_TEST_MAIN(tst_TextDocumentAccess)
#include "tst_TextDocumentAccess.moc"
