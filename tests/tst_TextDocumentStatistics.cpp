#include "TextDocumentStatistics.h"

#include "TestEnvironment.h"
#include "TextDocument.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

class tst_TextDocumentStatistics : public QObject
{
    Q_OBJECT

private slots:
    void followsEdits_data();
    void followsEdits();
    void largeChangesCountedOnWorkers();
};

void tst_TextDocumentStatistics::followsEdits_data()
{
    QTest::addColumn<QString>("alphabet");
    QTest::addRow("words and line feeds") << u"ab  \n"_s;
    QTest::addRow("line breaks of every kind") << u"a b\r\n\r\n\u2028\u2029"_s;
    QTest::addRow("clusters that join across edits") << u"e\u0301\U0001F1E6\U0001F1FA\u200D \r\n"_s;
    // Without line breaks the counts follow edits by stretches cut between two units that join
    // nothing; here cuts are rare and lie next to units that do join.
    QTest::addRow("one line of words, marks and emoji")
        << u"ab \u0301\u00A9\u200D\U0001F600\U0001F1E6\u00A0"_s;
    QTest::addRow("one line with nowhere to cut") << u"\u0301\u200D\U0001F1E6"_s;
}

// After every random edit, undo and redo, the counts kept from the notifications equal a count
// of the whole text.
void tst_TextDocumentStatistics::followsEdits()
{
    QFETCH(QString, alphabet);
    const quint32 seed = qEnvironmentVariableIsSet("SCRIVLET_TEST_SEED")
        ? quint32(qEnvironmentVariableIntValue("SCRIVLET_TEST_SEED"))
        : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const auto randomText = [&](int maximum) {
        QString text;
        for (int i = random.bounded(maximum + 1); i > 0; --i)
            text.append(alphabet[random.bounded(int(alphabet.size()))]);
        return text;
    };
    TextDocument document(randomText(5000));
    TextDocumentStatistics statistics(&document);
    for (int step = 0; step < 1500; ++step) {
        auto failure = qScopeGuard([&] {
            qWarning(
                "followsEdits failed at step %d; SCRIVLET_TEST_SEED=%u repeats it", step, seed);
        });
        const int action = random.bounded(10);
        const qsizetype at = qsizetype(random.bounded(quint64(document.length() + 1)));
        if (action == 0)
            document.undo();
        else if (action == 1)
            document.redo();
        else if (action == 2)
            document.appendLoadedText(randomText(300));
        else
            document.replace(at, random.bounded(action == 3 ? 200 : 3), randomText(4));
        QCOMPARE(statistics.counts(), DocumentStatistics::countText(document.toString()));
        failure.dismiss();
    }
}

// Large changes are counted on workers while small edits go on; once they are in, the counts
// are those of the whole text.
void tst_TextDocumentStatistics::largeChangesCountedOnWorkers()
{
    const QString lines = u"some words\r\ne\u0301 more\n"_s.repeated(30000);
    TextDocument document(lines);
    TextDocumentStatistics statistics(&document);
    QCOMPARE(statistics.counts(), DocumentStatistics::countText(lines));
    document.replace(1000, TextDocumentStatistics::workerUnits, lines.first(400000));
    QVERIFY(statistics.isCounting());
    document.replace(5, 3, u"\r"_s);
    document.appendLoadedText(u"\n"_s + lines);
    document.undo();
    document.replace(0, 0, u"\u0301x"_s);
    QTRY_VERIFY(!statistics.isCounting());
    QCOMPARE(statistics.counts(), DocumentStatistics::countText(document.toString()));
}

SCRIVLET_TEST_MAIN(tst_TextDocumentStatistics)
#include "tst_TextDocumentStatistics.moc"
