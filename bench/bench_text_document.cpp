// The text engine's document beside a bare QPlainTextEdit doing the same work, in the same run:
//
//   bench_text_document [PATH]           loading PATH (first block, fully loaded, peak memory
//                                        while loading), one edit and a save, a case-insensitive
//                                        find-all of "the" beside grep -F -i -c, the status
//                                        counts of the whole text, Replace All of a common word
//                                        and its undo
//
// Each variant runs in a child process of its own ("child ours PATH", "child bare PATH"), so
// that its peak resident memory is its own. Ours: TextLoader into a TextDocument, the save by
// TextDocumentSaver from a snapshot on a worker, find reading a snapshot window by window,
// counts by TextDocumentStatistics::countLines, Replace All through TextDocumentAccess. Bare: QFile
// + QString::fromUtf8 + setPlainText, the save as the editor saved a QTextDocument before its
// own engine (DocumentWriter over BareDocumentAccess on the GUI thread), find by TextMatcher
// steps over BareDocumentAccess, counts by DocumentStatistics::countText of the whole text,
// Replace All through BareDocumentAccess (one edit block). A missing PATH is generated
// (bench::corpus).
#include "BareDocumentAccess.h"
#include "BenchSupport.h"
#include "DocumentStatistics.h"
#include "DocumentWriter.h"
#include "HeapTuning.h"
#include "TextDocument.h"
#include "TextDocumentAccess.h"
#include "TextDocumentSaver.h"
#include "TextDocumentStatistics.h"
#include "TextLoader.h"
#include "TextMatcher.h"
#include "WindowBench.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QTextCursor>

#include <cstdio>
#include <cstring>
#include <ctime>

using namespace windowbench;
using namespace Qt::StringLiterals;

namespace {

constexpr int timeoutMs = 600'000;
// Found case-insensitively over the whole text, as the find panel does.
const QString findWord = u"the"_s;
// Replaced case-sensitively: about one word in fifty of the corpus.
const QString replacedWord = u"fox"_s;
const QString replacement = u"cat"_s;

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// CPU time of every thread of this process so far: with other work on the machine, wall time
// alone says little.
double processCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Every match of `matcher`, a window at a time, as the find panel's search of a long text reads.
MatchList findInSteps(const TextMatcher &matcher, const TextAccess &text)
{
    MatchList matches;
    for (qsizetype from = 0; from < text.length();)
        from = matcher.findStep(text, from, qsizetype(1) << 20, matches).next;
    return matches;
}

void loadOurs(TextDocument &document, const QString &path)
{
    TextLoader loader(&document);
    QElapsedTimer clock;
    double firstMs = -1;
    double loadedMs = -1;
    bool failed = false;
    Waiter waiter([&] { return failed || loadedMs >= 0; });
    QObject::connect(
        &loader, &TextLoader::firstBlockLoaded, &loader, [&] { firstMs = msSince(clock); });
    QObject::connect(&loader, &TextLoader::finished, &loader, [&] {
        loadedMs = msSince(clock);
        waiter.check();
    });
    QObject::connect(&loader, &TextLoader::failed, &loader, [&](const DocumentError &error) {
        std::fprintf(stderr, "bench_text_document: %s\n", qPrintable(error.displayMessage()));
        failed = true;
        waiter.check();
    });
    const double cpuBefore = processCpuMs();
    Heartbeat heartbeat;
    clock.start();
    heartbeat.start();
    loader.load(path);
    waiter.wait(timeoutMs);
    heartbeat.stop();
    emitValue("loaded_cpu_ms", processCpuMs() - cpuBefore);
    emitValue("load_stall_ms", heartbeat.longestStallMs());
    emitValue("first_ms", firstMs);
    emitValue("loaded_ms", loadedMs);
    emitValue("peak_mb", peakResidentMegabytes());
    emitValue("lines", double(document.lineCount()));
}

// The edit and the save, timed from the keystroke until the file is written; the GUI thread is
// busy only for the edit and for taking the snapshot.
void editAndSaveOurs(TextDocument &document, const QString &savePath)
{
    TextDocumentSaver saver(&document);
    bool done = false;
    Waiter waiter([&] { return done; });
    QObject::connect(&saver, &TextDocumentSaver::saved, &saver, [&] {
        done = true;
        waiter.check();
    });
    QObject::connect(&saver, &TextDocumentSaver::failed, &saver, [&] {
        std::fprintf(stderr, "bench_text_document: the save failed\n");
        done = true;
        waiter.check();
    });
    QElapsedTimer clock;
    clock.start();
    document.replace(document.length() / 2, 0, u"an edit"_s);
    saver.save(savePath);
    emitValue("save_gui_ms", msSince(clock));
    waiter.wait(timeoutMs);
    emitValue("save_ms", msSince(clock));
    emitValue("saved_bytes", double(QFileInfo(savePath).size()));
}

void findAndReplaceOurs(TextDocument &document)
{
    DocumentStatistics::LineCounts counts;
    const double countSeconds = bench::bestSeconds(
        1, [&] { counts = TextDocumentStatistics::countLines(document.snapshot()); });
    emitValue("count_ms", countSeconds * 1e3);
    emitValue("count_words", double(DocumentStatistics::totalCounts(counts).words));

    const TextMatcher finder(findWord, Qt::CaseInsensitive);
    MatchList found;
    const double cpuBefore = processCpuMs();
    const double findSeconds = bench::bestSeconds(
        3, [&] { found = SnapshotTextAccess::findAll(finder, document.snapshot()); });
    emitValue("find_cpu_ms", (processCpuMs() - cpuBefore) / 3);
    emitValue("find_ms", findSeconds * 1e3);
    emitValue("find_matches", double(found.size()));

    const TextMatcher word(replacedWord, Qt::CaseSensitive);
    const MatchList matches = SnapshotTextAccess::findAll(word, document.snapshot());
    TextDocumentAccess access(&document);
    QElapsedTimer clock;
    clock.start();
    access.replaceRanges(matches, replacement);
    emitValue("replace_ms", msSince(clock));
    emitValue("replace_count", double(matches.size()));
    clock.restart();
    document.undo();
    emitValue("undo_ms", msSince(clock));
}

int runOurs(const QString &path, const QString &savePath)
{
    emitValue("base_mb", peakResidentMegabytes());
    TextDocument document;
    loadOurs(document, path);
    editAndSaveOurs(document, savePath);
    findAndReplaceOurs(document);
    return 0;
}

void loadBare(QPlainTextEdit &edit, const QString &path)
{
    const double cpuBefore = processCpuMs();
    QElapsedTimer clock;
    clock.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    edit.setPlainText(text);
    text = QString();
    const double loadedMs = msSince(clock);
    emitValue("loaded_cpu_ms", processCpuMs() - cpuBefore);
    // Everything happens on the GUI thread, which answers nothing until it is done.
    emitValue("load_stall_ms", loadedMs);
    // The whole text is in the document at once: its first text is its whole text.
    emitValue("first_ms", loadedMs);
    emitValue("loaded_ms", loadedMs);
    emitValue("peak_mb", peakResidentMegabytes());
    emitValue("lines", double(edit.document()->blockCount()));
}

void editAndSaveBare(QPlainTextEdit &edit, const QString &savePath)
{
    QElapsedTimer clock;
    clock.start();
    QTextCursor cursor(edit.document());
    cursor.setPosition((edit.document()->characterCount() - 1) / 2);
    cursor.insertText(u"an edit"_s);
    const DocumentResult<FileStamp> saved
        = DocumentWriter().save(BareDocumentAccess(edit.document()), savePath);
    const double savedMs = msSince(clock);
    if (!saved)
        std::fprintf(stderr, "bench_text_document: the bare save failed\n");
    emitValue("save_gui_ms", savedMs);
    emitValue("save_ms", savedMs);
    emitValue("saved_bytes", double(QFileInfo(savePath).size()));
}

void findAndReplaceBare(QPlainTextEdit &edit)
{
    BareDocumentAccess access(edit.document());
    DocumentStatistics::TextCounts counts;
    const double countSeconds = bench::bestSeconds(
        1, [&] { counts = DocumentStatistics::countText(access.wholeText()); });
    emitValue("count_ms", countSeconds * 1e3);
    emitValue("count_words", double(counts.words));

    const TextMatcher finder(findWord, Qt::CaseInsensitive);
    MatchList found;
    const double cpuBefore = processCpuMs();
    const double findSeconds = bench::bestSeconds(3, [&] { found = findInSteps(finder, access); });
    emitValue("find_cpu_ms", (processCpuMs() - cpuBefore) / 3);
    emitValue("find_ms", findSeconds * 1e3);
    emitValue("find_matches", double(found.size()));

    const MatchList matches = findInSteps(TextMatcher(replacedWord, Qt::CaseSensitive), access);
    QElapsedTimer clock;
    clock.start();
    access.replaceRanges(matches, replacement);
    emitValue("replace_ms", msSince(clock));
    emitValue("replace_count", double(matches.size()));
    clock.restart();
    edit.document()->undo();
    emitValue("undo_ms", msSince(clock));
}

int runBare(const QString &path, const QString &savePath)
{
    emitValue("base_mb", peakResidentMegabytes());
    QPlainTextEdit edit;
    loadBare(edit, path);
    editAndSaveBare(edit, savePath);
    findAndReplaceBare(edit);
    return 0;
}

int runChildMode(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QTemporaryDir scratch;
    const QString savePath = scratch.filePath(u"saved.txt"_s);
    if (arguments.value(2) == u"ours") {
        // The editor's own allocator settings; the bare widget keeps the library's.
        HeapTuning::apply();
        return runOurs(arguments.value(3), savePath);
    }
    return runBare(arguments.value(3), savePath);
}

// ---- The driver: runs both children and grep, and prints each figure beside the bare one. ----

using bench::Values;

Values runChild(const QString &variant, const QString &path)
{
    return bench::runChild({u"child"_s, variant, path}, timeoutMs);
}

// Best of three wall-clock runs of grep -F -i -c, in milliseconds, and the count it printed.
std::pair<double, double> timeGrep(const QString &path)
{
    double best = -1;
    double count = -1;
    for (int run = 0; run < 3; ++run) {
        QProcess grep;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        grep.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        grep.start(u"grep"_s, {u"-F"_s, u"-i"_s, u"-c"_s, findWord, path});
        if (!grep.waitForFinished(timeoutMs))
            return {-1, -1};
        const double ms = msSince(clock);
        best = best < 0 ? ms : std::min(best, ms);
        count = grep.readAllStandardOutput().trimmed().toDouble();
    }
    return {best, count};
}

void printFigure(const char *name, const Values &ours, const Values &bare, const char *key,
    const char *unit, const char *note = "")
{
    const double mine = ours.value(QString::fromLatin1(key), -1);
    const double theirs = bare.value(QString::fromLatin1(key), -1);
    std::printf("%s: %.1f %s (bare QPlainTextEdit: %.1f %s, ratio %.3f)%s%s\n", name, mine, unit,
        theirs, unit, theirs > 0 ? mine / theirs : -1.0, *note ? " " : "", note);
    std::fflush(stdout);
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

int runDriver(const QString &path)
{
    const QFileInfo corpus(path);
    std::printf(
        "corpus: %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(corpus.size()));
    const Values ours = runChild(u"ours"_s, path);
    const Values bare = runChild(u"bare"_s, path);
    const auto [grepMs, grepCount] = timeGrep(path);

    const double peak = ours.value(u"peak_mb"_s, -1);
    const double save = ours.value(u"save_ms"_s, -1);
    const double find = ours.value(u"find_ms"_s, -1);
    printFigure("first-block", ours, bare, "first_ms", "ms");
    printFigure("fully-loaded", ours, bare, "loaded_ms", "ms");
    printFigure("  CPU time, all threads", ours, bare, "loaded_cpu_ms", "ms");
    const double stall = ours.value(u"load_stall_ms"_s, -1);
    const QByteArray stallNote
        = QByteArray("[target <= 50 ms: ") + verdict(stall >= 0 && stall <= 50) + "]";
    printFigure("  longest GUI stall", ours, bare, "load_stall_ms", "ms", stallNote.constData());
    const QByteArray peakNote
        = QByteArray("[target < 250 MiB: ") + verdict(peak > 0 && peak < 250) + "]";
    printFigure("peak-memory-loading", ours, bare, "peak_mb", "MiB", peakNote.constData());
    printFigure("  of which before loading", ours, bare, "base_mb", "MiB");
    const QByteArray saveNote
        = QByteArray("[target < 500 ms: ") + verdict(save > 0 && save < 500) + "]";
    printFigure("edit-and-save", ours, bare, "save_ms", "ms", saveNote.constData());
    printFigure("  of which GUI thread", ours, bare, "save_gui_ms", "ms");
    printFigure("find-all-the-any-case", ours, bare, "find_ms", "ms");
    printFigure("  CPU time, all threads (mean)", ours, bare, "find_cpu_ms", "ms");
    std::printf("  grep -F -i -c the: %.1f ms (%.0f lines); ours / grep %.2f [target <= 2: %s]; "
                "matches ours %.0f, bare %.0f\n",
        grepMs, grepCount, find / grepMs, verdict(find > 0 && find <= 2 * grepMs),
        ours.value(u"find_matches"_s, -1), bare.value(u"find_matches"_s, -1));
    printFigure("status-counts-whole-text", ours, bare, "count_ms", "ms");
    std::printf("  (words: ours %.0f, bare %.0f)\n", ours.value(u"count_words"_s, -1),
        bare.value(u"count_words"_s, -1));
    printFigure("replace-all", ours, bare, "replace_ms", "ms");
    printFigure("undo-replace-all", ours, bare, "undo_ms", "ms");
    std::printf("  (%.0f ranges of \"%s\"; %.0f lines; saved %.0f bytes, bare %.0f)\n",
        ours.value(u"replace_count"_s, -1), qPrintable(replacedWord), ours.value(u"lines"_s, -1),
        ours.value(u"saved_bytes"_s, -1), bare.value(u"saved_bytes"_s, -1));
    return ours.isEmpty() || bare.isEmpty() ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 4 && std::strcmp(argv[1], "child") == 0)
        return runChildMode(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "corpus") == 0) {
        const QString path = QString::fromLocal8Bit(argv[2]);
        QDir().mkpath(QFileInfo(path).absolutePath());
        bench::corpus(path);
        return 0;
    }
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"bench/data/corpus.txt"_s;
    // The children inherit this process's peak memory (ru_maxrss survives fork and exec): an
    // existing corpus is not read here, and a generated one is made by a child of its own.
    if (QFileInfo(path).size() < 100'000'000) {
        QProcess generate;
        generate.start(QCoreApplication::applicationFilePath(), {u"corpus"_s, path});
        generate.waitForFinished(timeoutMs);
    }
    return runDriver(path);
}
