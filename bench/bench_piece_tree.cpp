// The text storage beside a plain QString holding the same decoded corpus, in the same run:
//   bench_piece_tree PATH              build, random edits, typing, line lookups, snapshot and a
//                                      full read of the snapshot, each with its ratio to QString
//   bench_piece_tree memory PATH       peak and final resident memory of a process that loads
//                                      PATH into a piece tree (whole, or block by block), beside
//                                      one that keeps the QString
// The QString side of the lookups is given a line-start index built once (not timed), as an
// editor over a bare string would need one. QString edits move the whole text, so fewer of them
// are timed and the figures compare per edit.
#include "BenchSupport.h"
#include "EditHistory.h"
#include "PieceTree.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double peakResidentMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double residentMegabytes()
{
    QFile status(u"/proc/self/statm"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / 1048576.0 : -1;
}

void printRatio(const char *name, double ours, double reference, const char *unit)
{
    std::printf("%s: %.4f %s piece tree, %.4f %s QString, ratio %.3g\n", name, ours, unit,
        reference, unit, ours / reference);
    std::fflush(stdout);
}

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

// Random edits of 1 to 10 units anywhere, half insertions and half removals; microseconds each.
template<typename Edit> double randomEdits(int count, qsizetype length, Edit edit)
{
    QRandomGenerator random(42);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const qsizetype offset = qsizetype(random.bounded(quint64(length)));
        const int units = 1 + random.bounded(10);
        const bool insert = i % 2 == 0;
        edit(offset, units, insert);
        length += insert ? units : -units;
    }
    return double(timer.nsecsElapsed()) / 1e3 / count;
}

void compareEdits(const QString &text)
{
    const QString typed = u"lorem ipsu"_s;
    PieceTree tree(text);
    const double ours = randomEdits(10000, text.size(), [&](qsizetype offset, int units, bool in) {
        if (in)
            tree.insert(offset, QStringView(typed).first(units));
        else
            tree.remove(offset, units);
    });
    QString string = text;
    const double reference = randomEdits(100, text.size(), [&](qsizetype at, int units, bool in) {
        if (in)
            string.insert(at, QStringView(typed).first(units));
        else
            string.remove(at, units);
    });
    printRatio("random-edit", ours, reference, "us");

    // Typing a paragraph in the middle of the text, one key at a time.
    QElapsedTimer timer;
    timer.start();
    for (qsizetype i = 0, at = text.size() / 2; i < 10000; ++i, ++at)
        tree.insert(at, QStringView(typed).sliced(i % 10, 1));
    const double typing = double(timer.nsecsElapsed()) / 1e3 / 10000;
    timer.restart();
    for (qsizetype i = 0, at = text.size() / 2; i < 100; ++i, ++at)
        string.insert(at, typed[i % 10]);
    const double stringTyping = double(timer.nsecsElapsed()) / 1e3 / 100;
    printRatio("typing", typing, stringTyping, "us");

    // The same through the edit history, which records each word as one step.
    EditHistory history;
    timer.restart();
    for (qsizetype i = 0, at = text.size() / 3; i < 10000; ++i, ++at)
        history.replace(tree, at, 0, QStringView(typed).sliced(i % 10, 1));
    const double recorded = double(timer.nsecsElapsed()) / 1e3 / 10000;
    printRatio("typing-with-history", recorded, stringTyping, "us");
}

void compareLookups(const QString &text)
{
    const PieceTree tree(text);
    const std::vector<qsizetype> starts = lineStarts(text);
    const auto lines = quint64(starts.size());
    constexpr int lookups = 100000;
    qsizetype sink = 0;
    const auto timedLookups = [&](auto lookup) {
        QRandomGenerator random(7);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lookups; ++i)
            sink += lookup(random);
        return double(timer.nsecsElapsed()) / 1e3 / lookups;
    };
    const double ourText = timedLookups([&](QRandomGenerator &random) {
        return tree.lineText(qsizetype(random.bounded(lines))).size();
    });
    const double stringText = timedLookups([&](QRandomGenerator &random) {
        const auto line = std::size_t(random.bounded(lines));
        const qsizetype end = line + 1 < starts.size() ? starts[line + 1] - 1 : text.size();
        return text.mid(starts[line], end - starts[line]).size();
    });
    printRatio("line-text", ourText, stringText, "us");
    const auto length = quint64(text.size() + 1);
    const double ourLine = timedLookups(
        [&](QRandomGenerator &random) { return tree.lineAt(qsizetype(random.bounded(length))); });
    const double stringLine = timedLookups([&](QRandomGenerator &random) {
        const auto offset = qsizetype(random.bounded(length));
        return qsizetype(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin());
    });
    printRatio("line-at-offset", ourLine, stringLine, "us");
    std::printf("  (%lld lines, checksum %lld)\n", static_cast<long long>(lines),
        static_cast<long long>(sink));
}

// Replace All as one step of the history: the first 100,000 matches of "the " replaced one by one
// (from the last, as find does), then undone. The reference builds the replaced QString in one
// pass, the least a string-based editor can do.
void compareReplaceAll(const QString &text)
{
    std::vector<qsizetype> matches;
    for (qsizetype at = text.indexOf(u"the "); at >= 0 && matches.size() < 100000;
         at = text.indexOf(u"the ", at + 4))
        matches.push_back(at);
    PieceTree tree(text);
    EditHistory history;
    const double replaceSeconds = bench::bestSeconds(1, [&] {
        history.beginGroup();
        for (auto match = matches.crbegin(); match != matches.crend(); ++match)
            history.replace(tree, *match, 4, u"THE ");
        history.endGroup();
    });
    const double undoSeconds = bench::bestSeconds(1, [&] { history.undo(tree); });
    QString replaced;
    const double stringSeconds = bench::bestSeconds(1, [&] {
        replaced.reserve(text.size());
        qsizetype from = 0;
        for (const qsizetype match : matches) {
            replaced.append(QStringView(text).sliced(from, match - from)).append(u"THE ");
            from = match + 4;
        }
        replaced.append(QStringView(text).sliced(from));
    });
    printRatio("replace-100k-in-one-step", replaceSeconds, stringSeconds, "s");
    printRatio("undo-replace-100k", undoSeconds, stringSeconds, "s");
}

// What a save on a worker thread needs: a text that later edits leave alone, read whole. The
// QString must be copied for that, since the next keystroke would otherwise change it under the
// reader.
void compareSnapshots(const QString &text)
{
    PieceTree tree(text);
    tree.insert(text.size() / 2, u"an edit"_s);
    const auto checksum = [](QStringView chunk, quint64 sum) {
        for (const QChar unit : chunk)
            sum = sum * 31 + unit.unicode();
        return sum;
    };
    quint64 ours = 0;
    const double snapshotSeconds = bench::bestSeconds(3, [&] {
        const TextSnapshot snapshot = tree.snapshot();
        TextChunkReader reader = snapshot.chunks();
        ours = 0;
        for (QStringView chunk = reader.next(); !chunk.isEmpty(); chunk = reader.next())
            ours = checksum(chunk, ours);
    });
    QString string = text;
    string.insert(text.size() / 2, u"an edit"_s);
    quint64 reference = 0;
    const double copySeconds = bench::bestSeconds(3, [&] {
        QString copy(string.constData(), string.size());
        reference = checksum(copy, 0);
    });
    printRatio("snapshot-and-read", snapshotSeconds, copySeconds, "s");
    std::printf("  (checksums %s)\n", ours == reference ? "agree" : "DIFFER");
}

// Loads PATH as one variant does and reports its memory: "string" decodes the whole file into a
// QString (as the editor does today), "tree" hands that string to a piece tree, "tree-blocks"
// reads and decodes 16 MiB at a time into the tree, never holding the file's bytes whole.
int memoryChild(const QString &variant, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    std::optional<QString> string;
    PieceTree tree;
    if (variant == u"tree-blocks") {
        QStringDecoder decoder(QStringDecoder::Utf8);
        while (!file.atEnd())
            tree.appendLoadedText(decoder.decode(file.read(16 * 1024 * 1024)));
    } else {
        string = QString::fromUtf8(file.readAll());
        if (variant == u"tree") {
            tree.appendLoadedText(std::move(*string));
            string.reset();
        }
    }
    std::printf("peak_mb %.1f\nresident_mb %.1f\nlength %lld\n", peakResidentMegabytes(),
        residentMegabytes(), static_cast<long long>(string ? string->size() : tree.length()));
    return 0;
}

double childValue(const QByteArray &output, const char *key)
{
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key)) + 1).toDouble();
    }
    return -1;
}

int compareMemory(const QString &path)
{
    const QString variants[3] = {u"string"_s, u"tree"_s, u"tree-blocks"_s};
    QByteArray outputs[3];
    for (int i = 0; i < 3; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"memory-one"_s, variants[i], path});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
        outputs[i] = child.readAllStandardOutput();
    }
    for (int i = 1; i < 3; ++i) {
        const QByteArray name = "memory-peak-" + variants[i].toUtf8();
        printRatio(name.constData(), childValue(outputs[i], "peak_mb"),
            childValue(outputs[0], "peak_mb"), "MiB");
        const QByteArray resident = "memory-resident-" + variants[i].toUtf8();
        printRatio(resident.constData(), childValue(outputs[i], "resident_mb"),
            childValue(outputs[0], "resident_mb"), "MiB");
    }
    std::printf("  (text length %.0f units, %.1f MiB as UTF-16)\n",
        childValue(outputs[0], "length"), childValue(outputs[0], "length") * 2 / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == u"memory-one")
        return memoryChild(arguments.value(1), arguments.value(2));
    if (arguments.value(0) == u"memory")
        return compareMemory(arguments.value(1));
    const QString path = arguments.value(0, u"bench/data/corpus.txt"_s);
    const QByteArray bytes = bench::corpus(path);
    const QString text = QString::fromUtf8(bytes);

    QString copy = text;
    copy.detach();
    const double buildSeconds = bench::bestSeconds(1, [&] { PieceTree tree(std::move(copy)); });
    const double indexSeconds = bench::bestSeconds(1, [&] { lineStarts(text); });
    std::printf("build: %.4f s piece tree, %.4f s QString line index, ratio %.2f\n", buildSeconds,
        indexSeconds, buildSeconds / indexSeconds);
    compareEdits(text);
    compareLookups(text);
    compareSnapshots(text);
    compareReplaceAll(text);
    return 0;
}
