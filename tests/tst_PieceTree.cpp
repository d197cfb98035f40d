#include "EditHistory.h"
#include "PieceTree.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Where lines start in `text` when LF, CR LF and a lone CR each end one: the loader's rule.
std::vector<qsizetype> lineStarts(QStringView text)
{
    std::vector<qsizetype> starts {0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n'
            || (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            starts.push_back(i + 1);
    }
    return starts;
}

QString readChunks(TextChunkReader reader)
{
    QString text;
    for (QStringView chunk = reader.next(); !chunk.isEmpty(); chunk = reader.next())
        text.append(chunk);
    return text;
}

// Compares every lookup of `tree` with `expected`: all of them when `everyOne`, else a few at
// random places.
void compareLookups(
    const TextSnapshot &tree, const QString &expected, QRandomGenerator &random, bool everyOne)
{
    const std::vector<qsizetype> starts = lineStarts(expected);
    QCOMPARE(tree.length(), expected.size());
    QCOMPARE(tree.lineCount(), qsizetype(starts.size()));
    const qsizetype lines = qsizetype(starts.size());
    const int probes = everyOne ? int(std::max(lines, expected.size() + 1)) : 4;
    for (int i = 0; i < probes; ++i) {
        const qsizetype line = everyOne ? std::min<qsizetype>(i, lines - 1)
                                        : qsizetype(random.bounded(quint64(lines)));
        const qsizetype next = line + 1 < lines ? starts[std::size_t(line + 1)] : expected.size();
        const qsizetype start = starts[std::size_t(line)];
        qsizetype breakLength = 0;
        if (line + 1 < lines)
            breakLength = expected.mid(next - 2, 2) == u"\r\n"_s && next - 2 >= start ? 2 : 1;
        const LineSpan span = tree.lineSpan(line);
        QCOMPARE(span.start, start);
        QCOMPARE(span.breakLength, breakLength);
        QCOMPARE(tree.lineText(line), expected.mid(start, next - start - breakLength));

        const qsizetype offset = everyOne ? std::min<qsizetype>(i, expected.size())
                                          : qsizetype(random.bounded(quint64(expected.size() + 1)));
        const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
        QCOMPARE(tree.lineAt(offset), qsizetype(after - starts.begin()) - 1);
    }
}

// A short random string drawn from what is hard to keep: line breaks of every kind, U+2029,
// noncharacters, NUL, surrogate pairs and lone surrogates.
QString randomInsertion(QRandomGenerator &random)
{
    static const QString alphabet
        = u"ab \r\n\r\n\u2029\uFDD0"_s + QChar(0) + u"\U0001F600"_s + QChar(0xD800) + QChar(0xDC00);
    const int length = random.bounded(100) == 0 ? 3000 + random.bounded(6000) : random.bounded(9);
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(alphabet[random.bounded(int(alphabet.size()))]);
    return text;
}

// A piece tree with its history and the plain string it must equal, edited at random: typing at
// the caret, edits anywhere (some large, some grouped), undo and redo.
struct RandomSession
{
    explicit RandomSession(quint32 seed)
        : random(seed)
        , text(initialText(random))
        , tree(text)
        , states {text}
    { }

    // Lines of every kind, longer than a piece, so that the tree starts from several pieces of
    // the loaded text.
    static QString initialText(QRandomGenerator &random)
    {
        QString text;
        for (int i = 0; i < 20; ++i)
            text += randomInsertion(random) + u"start text\r\n"_s.repeated(50);
        return text;
    }

    void step()
    {
        const int action = random.bounded(20);
        if (action < 3 && history.canUndo()) {
            caret = *history.undo(tree);
            text = states[std::size_t(history.undoCount())];
        } else if (action < 5 && history.canRedo()) {
            caret = *history.redo(tree);
            text = states[std::size_t(history.undoCount())];
        } else {
            const qsizetype before = history.undoCount();
            history.beginGroup();
            for (int edits = action == 11 ? 3 : 1; edits > 0; --edits)
                edit(action);
            history.endGroup();
            if (history.undoCount() > before)
                states.resize(std::size_t(before + 1)); // no redo after a new step
            states.resize(std::max(states.size(), std::size_t(history.undoCount() + 1)));
            states[std::size_t(history.undoCount())] = text;
        }
    }

    void edit(int action)
    {
        qsizetype offset = std::min(caret, text.size());
        qsizetype removed = 0;
        QString inserted = QString(QChar(u"ab \r\n"_s[random.bounded(5)]));
        if (action >= 11) { // anywhere, not typing
            offset = qsizetype(random.bounded(quint64(text.size() + 1)));
            removed = std::min<qsizetype>(
                random.bounded(action == 19 ? 5000 : 12), text.size() - offset);
            inserted = randomInsertion(random);
        }
        history.replace(tree, offset, removed, inserted);
        text.replace(offset, removed, inserted);
        caret = offset + inserted.size();
    }

    QRandomGenerator random;
    QString text;
    PieceTree tree;
    EditHistory history;
    std::vector<QString> states; // the text at each undo count
    qsizetype caret = 0;
};

} // namespace

class TestPieceTree : public QObject
{
    Q_OBJECT

private slots:
    void lookups_data();
    void lookups();
    void history_data();
    void history();
    void cleanState();
    void randomEdits();
    void snapshotReadOnAnotherThread();
    void balance_data();
    void balance();
};

void TestPieceTree::lookups_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("empty") << QString();
    QTest::addRow("LF") << u"one\ntwo\n"_s;
    QTest::addRow("CR LF") << u"one\r\ntwo\r\n\r\n"_s;
    QTest::addRow("lone CR") << u"one\rtwo\r"_s;
    QTest::addRow("CR CR LF") << u"a\r\r\nb"_s;
    QTest::addRow("LF CR") << u"a\n\rb\n\r"_s;
    QTest::addRow("U+2028 and U+2029 are characters") << u"p\u2029q\u2028r\n"_s;
    QTest::addRow("NUL and noncharacters")
        << QString(u"a\uFDD0\uFDD1\uFFFE"_s + QChar(0) + u"\n"_s);
    QTest::addRow("lone surrogates") << QString(QChar(0xDC00) + u"x\r"_s + QChar(0xD800));
    QTest::addRow("longer than a piece") << QString(u"line of text\r\n"_s.repeated(700));
    // The loaded text is cut into pieces of 4096 units: here between the CR and the LF.
    QTest::addRow("CR LF across pieces of the file") << QString(QString(4095, u'a') + u"\r\nb"_s);
    // Inserted text this long is kept as given rather than copied into the append blocks.
    QTest::addRow("longer than an append block") << QString(u"x\r\n\ry\n"_s.repeated(30000));
}

// The text built whole, and built from two insertions cut at every place (so that a CR and its
// LF can lie in different pieces and be joined by the second insertion), agree with the text.
void TestPieceTree::lookups()
{
    QFETCH(QString, text);
    QRandomGenerator random(1);
    compareLookups(PieceTree(text).snapshot(), text, random, true);
    if (QTest::currentTestFailed())
        return;
    const qsizetype step = std::max<qsizetype>(1, text.size() / 40);
    for (qsizetype cut = 0; cut <= text.size(); cut += step) {
        PieceTree tree(text.first(cut));
        tree.insert(cut, QStringView(text).sliced(cut));
        compareLookups(tree.snapshot(), text, random, text.size() < 100);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(tree.toString(), text);

        PieceTree loaded(text.first(cut));
        loaded.appendLoadedText(text.sliced(cut));
        compareLookups(loaded.snapshot(), text, random, text.size() < 100);
        if (QTest::currentTestFailed())
            return;

        PieceTree reversed;
        reversed.insertTaking(0, text.sliced(cut));
        reversed.insertTaking(0, text.first(cut));
        compareLookups(reversed.snapshot(), text, random, text.size() < 100);
        if (QTest::currentTestFailed())
            return;
    }
}

// A script of edits: "t:<offset>:<char>" types one character, "b:<offset>" is Backspace,
// "d:<offset>" Delete, "r:<offset>:<length>:<text>" replaces, "g" and "e" open and close a group,
// "j" moves the caret away and back, "u" undoes (the text after it and the caret are checked).
void TestPieceTree::history_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("undone");
    QTest::addColumn<QList<qsizetype>>("carets");

    QStringList typing;
    const QString words = u"to be\nor"_s;
    for (qsizetype i = 0; i < words.size(); ++i)
        typing << u"t:%1:%2"_s.arg(i).arg(words[i]);
    QTest::addRow("typing undoes a word at a time, Return a step of its own")
        << QString() << typing << QStringList {u"to be\n"_s, u"to be"_s, u"to "_s, QString()}
        << QList<qsizetype> {6, 5, 3, 0};
    QTest::addRow("a caret jump ends the word")
        << QString() << QStringList {u"t:0:a"_s, u"t:1:b"_s, u"j"_s, u"t:2:c"_s}
        << QStringList {u"ab"_s, QString()} << QList<qsizetype> {2, 0};
    QTest::addRow("typing elsewhere ends the word")
        << QString() << QStringList {u"t:0:a"_s, u"t:1:b"_s, u"t:0:c"_s}
        << QStringList {u"ab"_s, QString()} << QList<qsizetype> {0, 0};
    QTest::addRow("Backspace run") << u"abcdef"_s << QStringList {u"b:5"_s, u"b:4"_s, u"b:3"_s}
                                   << QStringList {u"abcdef"_s} << QList<qsizetype> {6};
    QTest::addRow("Delete run") << u"abcdef"_s << QStringList {u"d:1"_s, u"d:1"_s, u"t:1:x"_s}
                                << QStringList {u"adef"_s, u"abcdef"_s} << QList<qsizetype> {1, 3};
    QTest::addRow("a group is one step, the caret goes to its first edit")
        << u"a-a-a"_s << QStringList {u"g"_s, u"r:4:1:xy"_s, u"r:2:1:xy"_s, u"r:0:1:xy"_s, u"e"_s}
        << QStringList {u"a-a-a"_s} << QList<qsizetype> {1};
    QTest::addRow("replacing a selection keeps the line breaks")
        << u"one\r\ntwo"_s << QStringList {u"r:3:2:\u2029"_s} << QStringList {u"one\r\ntwo"_s}
        << QList<qsizetype> {5};
}

void TestPieceTree::history()
{
    QFETCH(QString, original);
    QFETCH(QStringList, script);
    QFETCH(QStringList, undone);
    QFETCH(QList<qsizetype>, carets);

    PieceTree tree(original);
    EditHistory history;
    for (const QString &command : script) {
        const QStringList parts = command.split(u':');
        const qsizetype offset = parts.size() > 1 ? parts[1].toLongLong() : 0;
        if (parts[0] == u"t")
            history.replace(tree, offset, 0, parts[2]);
        else if (parts[0] == u"b" || parts[0] == u"d")
            history.replace(tree, offset, 1, {});
        else if (parts[0] == u"r")
            history.replace(tree, offset, parts[2].toLongLong(), parts[3]);
        else if (parts[0] == u"g")
            history.beginGroup();
        else if (parts[0] == u"e")
            history.endGroup();
        else if (parts[0] == u"j")
            history.breakCoalescing();
    }
    const QString edited = tree.toString();
    for (qsizetype i = 0; i < undone.size(); ++i) {
        QCOMPARE(history.undo(tree), std::optional<qsizetype>(carets[i]));
        QCOMPARE(tree.toString(), undone[i]);
    }
    QVERIFY(!history.canUndo());
    while (history.canRedo())
        QVERIFY(history.redo(tree));
    QCOMPARE(tree.toString(), edited);
}

void TestPieceTree::cleanState()
{
    PieceTree tree(u"text"_s);
    EditHistory history;
    QVERIFY(!history.isModified());
    history.replace(tree, 4, 0, u"!"_s);
    QVERIFY(history.isModified());
    history.setClean();
    QVERIFY(!history.isModified());
    // Typing on after a save is a step of its own, so the saved state stays reachable.
    history.replace(tree, 5, 0, u"?"_s);
    QVERIFY(history.isModified());
    history.undo(tree);
    QVERIFY(!history.isModified());
    history.undo(tree);
    QVERIFY(history.isModified());
    history.redo(tree);
    QVERIFY(!history.isModified());
    QCOMPARE(tree.toString(), u"text!"_s);
    // A new edit after undoing past the save drops the way back to it.
    history.undo(tree);
    history.replace(tree, 0, 0, u"x"_s);
    history.undo(tree);
    QCOMPARE(tree.toString(), u"text"_s);
    QVERIFY(history.isModified());
}

// Thousands of random edits, undos and redos on the tree and on a plain string agree after every
// step; snapshots taken along the way still read what they read when taken.
void TestPieceTree::randomEdits()
{
    const quint32 seed = qEnvironmentVariableIsSet("SCRIVLET_TEST_SEED")
        ? quint32(qEnvironmentVariableIntValue("SCRIVLET_TEST_SEED"))
        : QRandomGenerator::global()->generate();
    RandomSession session(seed);
    std::vector<std::pair<TextSnapshot, QString>> snapshots;
    for (int step = 0; step < 20000; ++step) {
        auto failure = qScopeGuard([&] {
            qWarning("randomEdits failed at step %d; SCRIVLET_TEST_SEED=%u repeats it", step, seed);
        });
        session.step();
        const QString &text = session.text;
        QVERIFY(session.caret >= 0 && session.caret <= text.size());
        QCOMPARE(session.tree.toString(), text);
        compareLookups(session.tree.snapshot(), text, session.random, false);
        if (QTest::currentTestFailed())
            return;
        const qsizetype from = qsizetype(session.random.bounded(quint64(text.size() + 1)));
        const qsizetype count = qsizetype(session.random.bounded(quint64(text.size() - from + 1)));
        QCOMPARE(readChunks(session.tree.chunks(from, count)), text.mid(from, count));
        if (step % 250 == 0)
            snapshots.emplace_back(session.tree.snapshot(), text);
        failure.dismiss();
    }
    for (const auto &[snapshot, expected] : snapshots) {
        QCOMPARE(snapshot.toString(), expected);
        compareLookups(snapshot, expected, session.random, false);
        if (QTest::currentTestFailed())
            return;
    }
}

// A worker reads a snapshot again and again while this thread edits the tree it came from, then
// drops the last reference to it.
void TestPieceTree::snapshotReadOnAnotherThread()
{
    const QString original = u"a line of text\n\u2029x\r\n"_s.repeated(20000);
    PieceTree tree(original);
    TextSnapshot snapshot = tree.snapshot();
    std::atomic<bool> editing = true;
    std::atomic<int> mismatches = 0;
    std::atomic<int> reads = 0;
    std::thread reader([snapshot = std::move(snapshot), &editing, &mismatches, &reads, &original] {
        while (editing || reads < 2) {
            if (readChunks(snapshot.chunks()) != original
                || snapshot.lineText(20001) != u"\u2029x"_s)
                ++mismatches;
            ++reads;
        }
    });
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        const qsizetype offset = qsizetype(random.bounded(quint64(tree.length() + 1)));
        if (i % 3 == 0)
            tree.remove(offset, 3);
        else
            tree.insert(offset, u"typed\r"_s);
    }
    editing = false;
    reader.join();
    QCOMPARE(mismatches.load(), 0);
    QVERIFY(reads >= 2);
}

void TestPieceTree::balance_data()
{
    QTest::addColumn<int>("stride");
    QTest::addColumn<int>("removeEvery");
    QTest::addRow("a letter after every letter of the file") << 2 << 0;
    QTest::addRow("inserting again and again at one place") << 0 << 0;
    QTest::addRow("deleting every other letter") << 1 << 1;
}

// Thousands of edits that cut the same pieces again and again leave the tree shallow (a few times
// log2 of the number of pieces): cut pieces must not line up in a chain.
void TestPieceTree::balance()
{
    QFETCH(int, stride);
    QFETCH(int, removeEvery);
    PieceTree tree(QString(20000, u'a'));
    constexpr int edits = 8000;
    for (int i = 0; i < edits; ++i) {
        const qsizetype offset = 1 + qsizetype(i) * stride;
        if (removeEvery > 0)
            tree.remove(offset, 1);
        else
            tree.insert(offset, i % 2 == 0 ? u"b"_s : u"c"_s);
    }
    QVERIFY2(tree.snapshot().treeDepth() <= 4 * 14,
        qPrintable(u"depth %1"_s.arg(tree.snapshot().treeDepth())));
}

QTEST_GUILESS_MAIN(TestPieceTree)
#include "tst_PieceTree.moc"
