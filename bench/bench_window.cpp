// The editor window under load, beside a bare QPlainTextEdit given the same text and font:
//
//   bench_window open PATH [RUNS]        opening PATH: first screenful, longest stall, editable,
//                                        and the peak memory of the same processes
//   bench_window memory PATH             peak resident memory once PATH is loaded and painted
//   bench_window keystroke PATH [KEYS]   keystroke-to-idle at the start, middle and end of
//                                        1 KB, 10 MB and 100 MB prefixes of PATH, wrapped, with
//                                        the status bar and a million live matches at 100 MB
//   bench_window longline [CHARS]        a file that is one line of CHARS characters
//
// Each variant runs in a child process of its own (a fresh heap, and ru_maxrss of that variant
// only); the child modes are "open-one", "memory", "keystroke-one" and "longline-one" followed by
// "ours" or "bare" and a path. A missing PATH is generated (bench::corpus). Paints happen on the
// offscreen platform, which is the default here. Diagnostics: BENCH_WINDOW_TRACE=1 lists every
// long heartbeat gap, BENCH_WINDOW_LINE_NUMBERS=0 turns the line numbers off.
#include "BenchSupport.h"
#include "ContentView.h"
#include "DocumentWindow.h"
#include "FindState.h"
#include "FontCache.h"
#include "HeapTuning.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "StatusBarView.h"
#include "TextEditorView.h"
#include "WindowBench.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTextCursor>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace windowbench;

namespace {

constexpr int loadTimeoutMs = 300'000;

struct OpenFigures
{
    double firstPaintMs = -1;
    double stallMs = -1;
    double editableMs = -1;
};

QFont editorFont()
{
    return FontCache::font(Settings::defaultValue(SettingKey::FontFamily).toString(),
        Settings::defaultValue(SettingKey::FontSize).toLongLong(),
        Settings::defaultValue(SettingKey::FontBold).toBool());
}

// The text of one variant once it is shown: our window or the bare widget.
struct Subject
{
    std::unique_ptr<Settings> settings;
    std::unique_ptr<DocumentWindow> window;
    std::unique_ptr<QPlainTextEdit> bare;

    QAbstractScrollArea *view() const
    {
        return window ? static_cast<QAbstractScrollArea *>(window->contentView()->textView())
                      : bare.get();
    }
    qsizetype length() const
    {
        return window ? window->contentView()->textView()->document()->length()
                      : bare->document()->characterCount() - 1;
    }
    qsizetype lines() const
    {
        return window ? window->contentView()->textView()->document()->lineCount()
                      : bare->document()->blockCount();
    }
    void placeCursor(qsizetype position) const
    {
        position = std::clamp<qsizetype>(position, 0, length());
        if (window) {
            window->contentView()->textView()->setCursorPosition(position);
            return;
        }
        QTextCursor cursor(bare->document());
        cursor.setPosition(int(position));
        bare->setTextCursor(cursor);
    }
};

void reportPaintWithText(BenchApplication &app, const Subject &subject, const QElapsedTimer &clock,
    OpenFigures &figures, Waiter &waiter)
{
    app.watchPaints(subject.view()->viewport(), [&subject, &clock, &figures, &waiter] {
        if (figures.firstPaintMs < 0 && subject.length() > 0) {
            figures.firstPaintMs = elapsedMs(clock);
            waiter.check();
        }
    });
}

// window.show(); window.load(path), timed from show() to the first paint that shows text and to
// DocumentWindow::loaded; the heartbeat runs from load() until the loop is idle after loading.
OpenFigures openOurs(BenchApplication &app, Subject &subject, const QString &path, int timeoutMs)
{
    subject.settings = std::make_unique<Settings>(
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/bench_window.conf"));
    // BENCH_WINDOW_LINE_NUMBERS=0 turns the gutter off, to tell its cost from the rest.
    if (qEnvironmentVariable("BENCH_WINDOW_LINE_NUMBERS") == QStringLiteral("0"))
        subject.settings->setShowLineNumbers(false);
    subject.window = std::make_unique<DocumentWindow>(*subject.settings);
    DocumentWindow *window = subject.window.get();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    OpenFigures figures;
    bool loaded = false;
    bool failed = false;
    QElapsedTimer clock;
    Waiter waiter([&] { return failed || (loaded && figures.firstPaintMs >= 0); });
    reportPaintWithText(app, subject, clock, figures, waiter);
    QObject::connect(window, &DocumentWindow::loaded, window, [&] {
        figures.editableMs = elapsedMs(clock);
        loaded = true;
        waiter.check();
    });
    QObject::connect(window, &DocumentWindow::loadFailed, window, [&] {
        std::fprintf(stderr, "bench_window: cannot open %s\n", qPrintable(path));
        failed = true;
        waiter.check();
    });
    Heartbeat heartbeat;
    clock.start();
    window->show();
    heartbeat.start();
    window->load(path);
    waiter.wait(timeoutMs);
    if (loaded)
        drainUntilIdle(app);
    heartbeat.stop();
    figures.stallMs = heartbeat.longestStallMs();
    app.watchPaints(nullptr, {});
    return figures;
}

// Read + QString::fromUtf8, setPlainText, show, first paint. The stall reported is the longer of
// setPlainText and the longest heartbeat gap from show() until the loop is idle.
OpenFigures openBare(BenchApplication &app, Subject &subject, const QString &path, int timeoutMs)
{
    OpenFigures figures;
    QElapsedTimer clock;
    clock.start();
    QString text;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_window: cannot open %s\n", qPrintable(path));
            return figures;
        }
        text = QString::fromUtf8(file.readAll());
    }
    subject.bare = std::make_unique<QPlainTextEdit>();
    QPlainTextEdit *edit = subject.bare.get();
    edit->setFont(editorFont());
    edit->resize(DocumentWindow::defaultSize);
    Waiter waiter([&] { return figures.firstPaintMs >= 0; });
    reportPaintWithText(app, subject, clock, figures, waiter);
    QElapsedTimer setText;
    setText.start();
    edit->setPlainText(text);
    const double setTextMs = elapsedMs(setText);
    text = QString();
    // Showing lays out what the first screen needs (and, once the scroll bar appears, marks
    // every line for layout again): a second stall that the heartbeat sees.
    Heartbeat heartbeat;
    heartbeat.start();
    edit->show();
    waiter.wait(timeoutMs);
    figures.editableMs = figures.firstPaintMs;
    drainUntilIdle(app);
    heartbeat.stop();
    figures.stallMs = std::max(setTextMs, heartbeat.longestStallMs());
    app.watchPaints(nullptr, {});
    return figures;
}

OpenFigures open(BenchApplication &app, Subject &subject, bool ours, const QString &path,
    int timeoutMs = loadTimeoutMs)
{
    return ours ? openOurs(app, subject, path, timeoutMs) : openBare(app, subject, path, timeoutMs);
}

void emitOpenFigures(const OpenFigures &figures)
{
    emitValue("first_paint_ms", figures.firstPaintMs);
    emitValue("stall_ms", figures.stallMs);
    emitValue("editable_ms", figures.editableMs);
}

Presses typeAt(
    BenchApplication &app, const Subject &subject, qsizetype position, int presses, double budgetMs)
{
    subject.placeCursor(position);
    return pressKeys(app, subject.view(), subject.view()->viewport(), presses, budgetMs);
}

// A search for "the", any case: about a million live matches in 100 MB of the corpus (one a 90
// bytes), so that every edit re-searches around itself and moves the matches after it. The pulse
// over the first match is let to end before anything is measured.
void activateFind(BenchApplication &app, Subject &subject)
{
    ContentView *content = subject.window->contentView();
    emitValue("status_bar", content->statusBar()->isVisible() ? 1 : 0);
    FindState *find = content->findState();
    find->setCaseSensitive(false);
    find->setSearchText(QStringLiteral("the"));
    find->show(FindMode::Find);
    find->updateMatches(content->editor()->documentText().wholeText());
    emitValue("matches", double(find->matchCount()));
    settle(600);
    drainUntilIdle(app);
}

void focus(Subject &subject)
{
    QWidget *top = subject.view()->window();
    top->activateWindow();
    subject.view()->setFocus();
}

int runKeystrokeChild(BenchApplication &app, bool ours, const QString &path, int presses)
{
    Subject subject;
    const OpenFigures opened = open(app, subject, ours, path);
    if (opened.editableMs < 0)
        return 1;
    emitValue("editable_ms", opened.editableMs);
    focus(subject);
    if (ours)
        activateFind(app, subject);
    const qsizetype length = subject.length();
    const std::pair<const char *, qsizetype> places[]
        = {{"start", 0}, {"middle", length / 2}, {"end", length}};
    double paints = 0;
    for (const auto &[name, position] : places) {
        const Presses typed = typeAt(app, subject, position, presses, 60'000);
        emitPresses(name, typed);
        paints = typed.paintsPerPress;
    }
    emitValue("paints_per_press", paints);
    return 0;
}

int runLongLineChild(BenchApplication &app, bool ours, const QString &path, int timeoutMs)
{
    Subject subject;
    const OpenFigures opened = open(app, subject, ours, path, timeoutMs);
    emitOpenFigures(opened);
    emitValue("blocks", double(subject.lines()));
    if (opened.editableMs < 0) {
        // Still loading: the reader and the slices are abandoned with the process.
        std::fflush(stdout);
        std::_Exit(0);
    }
    focus(subject);
    emitPresses("middle", typeAt(app, subject, subject.length() / 2, ours ? 20 : 4, 20'000));
    return 0;
}

int runChildMode(int argc, char *argv[])
{
    const QByteArray mode = argv[1];
    const bool ours = std::strcmp(argv[2], "ours") == 0;
    const QString path = QString::fromLocal8Bit(argv[3]);
    const int extra = argc > 4 ? std::atoi(argv[4]) : 0;
    // The editor's own allocator settings; the bare widget keeps the library's.
    if (ours)
        HeapTuning::apply();
    QTemporaryDir home;
    isolateUserDirectories(home);
    QStandardPaths::setTestModeEnabled(true);
    BenchApplication app(argc, argv);
    if (mode == "keystroke-one")
        return runKeystrokeChild(app, ours, path, extra > 0 ? extra : 200);
    if (mode == "longline-one")
        return runLongLineChild(app, ours, path, extra > 0 ? extra : 120'000);
    Subject subject;
    const OpenFigures figures = open(app, subject, ours, path);
    if (figures.editableMs < 0)
        return 1;
    subject.view()->viewport()->repaint();
    drainUntilIdle(app);
    emitOpenFigures(figures);
    emitValue("blocks", double(subject.lines()));
    emitValue("peak_mb", peakResidentMegabytes());
    return 0;
}

// ---- The driver: runs the children and prints every figure beside the bare widget's. ----

using bench::runChild;
using bench::Values;

QString number(double value)
{
    if (value < 0)
        return QStringLiteral("n/a");
    return QString::number(value, 'f', value >= 100 ? 0 : value >= 10 ? 1 : 2);
}

// "name: value unit (bare: value unit, ratio x) note"
void printFigure(const QString &name, double ours, double bare, const QString &unit,
    const QString &note = QString())
{
    const QString ratio
        = ours >= 0 && bare > 0 ? QString::number(ours / bare, 'f', 2) : QStringLiteral("n/a");
    std::printf("%s: %s %s (bare: %s %s, ratio %sx)%s%s\n", qPrintable(name),
        qPrintable(number(ours)), qPrintable(unit), qPrintable(number(bare)), qPrintable(unit),
        qPrintable(ratio), note.isEmpty() ? "" : " ", qPrintable(note));
    std::fflush(stdout);
}

QString verdict(bool met, const QString &target)
{
    return QStringLiteral("[target %1: %2]")
        .arg(target, met ? QStringLiteral("met") : QStringLiteral("MISSED"));
}

std::vector<double> column(const std::vector<Values> &runs, const QString &key)
{
    std::vector<double> values;
    for (const Values &run : runs)
        values.push_back(run.value(key, -1));
    return values;
}

double best(const std::vector<double> &values)
{
    double result = -1;
    for (double value : values) {
        if (value >= 0 && (result < 0 || value < result))
            result = value;
    }
    return result;
}

int runOpenDriver(const QString &path, int runs)
{
    std::vector<Values> ours;
    std::vector<Values> bare;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(
            runChild({QStringLiteral("open-one"), QStringLiteral("bare"), path}, 600'000));
        ours.push_back(
            runChild({QStringLiteral("open-one"), QStringLiteral("ours"), path}, 600'000));
    }
    const auto figure = [&](const char *key, const char *name, auto targetNote) {
        const double oursBest = best(column(ours, QString::fromLatin1(key)));
        const double bareBest = best(column(bare, QString::fromLatin1(key)));
        const QString medians = QStringLiteral("[median %1 ms, bare %2 ms; %3 runs]")
                                    .arg(number(median(column(ours, QString::fromLatin1(key)))),
                                        number(median(column(bare, QString::fromLatin1(key)))))
                                    .arg(runs);
        printFigure(QString::fromLatin1(name), oursBest, bareBest, QStringLiteral("ms"),
            medians + u' ' + targetNote(oursBest, bareBest));
    };
    figure("first_paint_ms", "open-first-screenful",
        [](double o, double) { return verdict(o >= 0 && o < 1000, QStringLiteral("< 1000 ms")); });
    figure("stall_ms", "open-longest-stall",
        [](double o, double) { return verdict(o >= 0 && o < 100, QStringLiteral("< 100 ms")); });
    figure("editable_ms", "open-fully-editable", [](double o, double b) {
        return verdict(o >= 0 && o <= 1.2 * b, QStringLiteral("<= 1.2x bare"));
    });
    // The same children, one process per variant, report their peak resident memory.
    const double oursPeak = best(column(ours, QStringLiteral("peak_mb")));
    const double barePeak = best(column(bare, QStringLiteral("peak_mb")));
    printFigure(QStringLiteral("memory-peak"), oursPeak, barePeak, QStringLiteral("MB"),
        QStringLiteral("[lowest of %1 runs] ").arg(runs)
            + verdict(oursPeak >= 0 && oursPeak <= 1.2 * barePeak, QStringLiteral("<= 1.2x bare")));
    std::printf("open: %.0f lines (ours), %.0f lines (bare)\n",
        best(column(ours, QStringLiteral("blocks"))), best(column(bare, QStringLiteral("blocks"))));
    return 0;
}

int runMemoryDriver(const QString &path)
{
    const Values bare = runChild({QStringLiteral("memory"), QStringLiteral("bare"), path}, 600'000);
    const Values ours = runChild({QStringLiteral("memory"), QStringLiteral("ours"), path}, 600'000);
    const double o = ours.value(QStringLiteral("peak_mb"), -1);
    const double b = bare.value(QStringLiteral("peak_mb"), -1);
    printFigure(QStringLiteral("memory-peak"), o, b, QStringLiteral("MB"),
        verdict(o >= 0 && o <= 1.2 * b, QStringLiteral("<= 1.2x bare")));
    return 0;
}

// A prefix of `bytes` cut after the last line feed within `size` bytes.
QString writePrefix(const QTemporaryDir &dir, const QByteArray &bytes, qsizetype size)
{
    const qsizetype lineEnd = bytes.lastIndexOf('\n', std::min(size, bytes.size()) - 1);
    const QString path = dir.filePath(QStringLiteral("prefix-%1.txt").arg(size));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes.left(lineEnd + 1));
    return path;
}

// The p99 against the absolute target (and, at 100 MB, against the bare widget's), the median
// with how much of it went to handling the key and to painting.
void printKeystrokePlace(
    const char *size, const char *place, const Values &ours, const Values &bare)
{
    const QString key = QString::fromLatin1(place);
    const QString label = QStringLiteral("keystroke-%1-%2").arg(QString::fromLatin1(size), key);
    const auto value = [&key](const Values &values, const char *suffix) {
        return values.value(key + QString::fromLatin1(suffix), -1);
    };
    const double oursP99 = value(ours, "_p99_ms");
    const double bareP99 = value(bare, "_p99_ms");
    // Another process holding the core shows in the wall clock only.
    QString target = QStringLiteral("[ours: GUI thread CPU p99 %1 ms] ")
                         .arg(number(value(ours, "_cpu_p99_ms")))
        + verdict(oursP99 >= 0 && oursP99 < 4, QStringLiteral("< 4 ms"));
    if (std::strcmp(size, "100MB") == 0)
        target += u' '
            + verdict(oursP99 >= 0 && oursP99 <= bareP99 + 4, QStringLiteral("<= bare + 4 ms"));
    printFigure(label + QStringLiteral("-p99"), oursP99, bareP99, QStringLiteral("ms"), target);
    printFigure(label + QStringLiteral("-median"), value(ours, "_median_ms"),
        value(bare, "_median_ms"), QStringLiteral("ms"),
        QStringLiteral("[ours: key handled %1 ms, painted %2 ms, then idle; %3 presses]")
            .arg(number(value(ours, "_handled_median_ms")),
                number(value(ours, "_painted_median_ms")), number(value(ours, "_presses"))));
}

int runKeystrokeDriver(const QString &corpusPath, int presses)
{
    QTemporaryDir dir;
    const std::pair<const char *, qsizetype> sizes[]
        = {{"1KB", 1000}, {"10MB", 10'000'000}, {"100MB", 100'000'000}};
    std::vector<std::pair<const char *, QString>> files;
    {
        const QByteArray bytes = bench::corpus(corpusPath);
        for (const auto &[name, size] : sizes)
            files.emplace_back(
                name, size >= bytes.size() ? corpusPath : writePrefix(dir, bytes, size));
    }
    const QString count = QString::number(presses);
    for (const auto &[name, path] : files) {
        const Values bare = runChild(
            {QStringLiteral("keystroke-one"), QStringLiteral("bare"), path, count}, 900'000);
        const Values ours = runChild(
            {QStringLiteral("keystroke-one"), QStringLiteral("ours"), path, count}, 900'000);
        std::printf("keystroke-%s: %.0f live matches of \"the\" (any case), status bar %s, "
                    "wrapped at the window's width (ours); %.1f viewport paints per press\n",
            name, ours.value(QStringLiteral("matches"), -1),
            ours.value(QStringLiteral("status_bar"), 0) > 0 ? "shown" : "HIDDEN",
            ours.value(QStringLiteral("paints_per_press"), -1));
        for (const char *place : {"start", "middle", "end"})
            printKeystrokePlace(name, place, ours, bare);
    }
    return 0;
}

// Words separated by spaces and no line feed, `characters` UTF-16 units long.
QString writeLongLine(const QTemporaryDir &dir, qsizetype characters)
{
    QByteArray bytes = bench::generateCorpus(characters + characters / 5);
    bytes.replace('\n', ' ');
    const QString text = QString::fromUtf8(bytes).left(characters);
    const QString path = dir.filePath(QStringLiteral("longline.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
    return path;
}

int runLongLineDriver(qsizetype characters, int timeoutMs)
{
    QTemporaryDir dir;
    const QString path = writeLongLine(dir, characters);
    const QString timeout = QString::number(timeoutMs);
    const Values bare
        = runChild({QStringLiteral("longline-one"), QStringLiteral("bare"), path, timeout},
            timeoutMs + 300'000);
    const Values ours
        = runChild({QStringLiteral("longline-one"), QStringLiteral("ours"), path, timeout},
            timeoutMs + 300'000);
    const auto value = [](const Values &values, const char *key) {
        return values.value(QString::fromLatin1(key), -1);
    };
    std::printf(
        "longline: one line of %lld characters, shown as %.0f blocks (ours) and %.0f (bare); "
        "a load still running after %d s counts as n/a\n",
        static_cast<long long>(characters), value(ours, "blocks"), value(bare, "blocks"),
        timeoutMs / 1000);
    printFigure(QStringLiteral("longline-first-screenful"), value(ours, "first_paint_ms"),
        value(bare, "first_paint_ms"), QStringLiteral("ms"));
    printFigure(QStringLiteral("longline-interactive"), value(ours, "editable_ms"),
        value(bare, "editable_ms"), QStringLiteral("ms"));
    printFigure(QStringLiteral("longline-longest-stall"), value(ours, "stall_ms"),
        value(bare, "stall_ms"), QStringLiteral("ms"));
    printFigure(QStringLiteral("longline-keystroke-median"), value(ours, "middle_median_ms"),
        value(bare, "middle_median_ms"), QStringLiteral("ms"),
        QStringLiteral("[%1 / %2 presses]")
            .arg(number(value(ours, "middle_presses")), number(value(bare, "middle_presses"))));
    printFigure(QStringLiteral("longline-keystroke-max"), value(ours, "middle_max_ms"),
        value(bare, "middle_max_ms"), QStringLiteral("ms"));
    return 0;
}

int usage()
{
    std::fprintf(stderr,
        "usage: bench_window open PATH [RUNS] | memory PATH | keystroke PATH [KEYS] | longline "
        "[CHARS]\n"
        "       bench_window open-one|memory|keystroke-one|longline-one ours|bare PATH [N]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2)
        return usage();
    const QByteArray mode = argv[1];
    const bool child
        = argc >= 4 && (std::strcmp(argv[2], "ours") == 0 || std::strcmp(argv[2], "bare") == 0);
    if (child)
        return runChildMode(argc, argv);
    QCoreApplication app(argc, argv);
    const QString path
        = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("bench/data/corpus.txt");
    const int extra = argc > 3 ? std::atoi(argv[3]) : 0;
    if (mode == "open" || mode == "memory" || mode == "keystroke")
        bench::corpus(path);
    if (mode == "open")
        return runOpenDriver(path, extra > 0 ? extra : 3);
    if (mode == "memory")
        return runMemoryDriver(path);
    if (mode == "keystroke")
        return runKeystrokeDriver(path, extra > 0 ? extra : 200);
    if (mode == "longline")
        return runLongLineDriver(argc > 2 ? std::atoll(argv[2]) : 10'000'000, 120'000);
    return usage();
}
