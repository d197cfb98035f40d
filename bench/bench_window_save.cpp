// Saving in the editor window while the user types, beside a bare QPlainTextEdit saved as the
// editor saved before its own engine:
//
//   bench_window_save [PATH] [RUNS]      PATH (the 100 MB corpus by default) is loaded, edited
//                                        once at its start and saved by the window's Save
//                                        command while a key is typed every 20 ms
//
// Each variant runs in a child process of its own ("child VARIANT PATH"), on a copy of PATH:
//   worker   DocumentWindow::startSave, the Save of the File menu: the text is written on a
//            worker while typing goes on
//   waiting  DocumentWindow::save, which returns once the file is written (the close prompt's
//            and quitting's way before they waited for the worker)
//   bare     QPlainTextEdit, DocumentWriter over BareDocumentAccess on the GUI thread
// Figures: the longest time the GUI thread did not turn its event loop from Save until the save
// has ended and the loop is idle, the wall time of the save, and the keys typed meanwhile. The
// window keeps drafts, as in the editor. A missing PATH is generated (bench::corpus).
#include "BareDocumentAccess.h"
#include "BenchSupport.h"
#include "ContentView.h"
#include "DocumentWindow.h"
#include "DocumentWriter.h"
#include "DraftStore.h"
#include "HeapTuning.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "WindowBench.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace windowbench;
using namespace Qt::StringLiterals;

namespace {

constexpr int timeoutMs = 600'000;
constexpr int keyIntervalMs = 20;

void pressKey(QWidget *target, Qt::Key key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Types a letter into `target` every keyIntervalMs while it runs.
class Typist
{
public:
    explicit Typist(QWidget *target)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(keyIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, target] {
            pressKey(target, Qt::Key_X, u"x"_s);
            ++m_keys;
        });
    }
    void start() { m_timer.start(); }
    int stop()
    {
        m_timer.stop();
        return m_keys;
    }

private:
    QTimer m_timer;
    int m_keys = 0;
};

bool loadWindow(DocumentWindow &window, const QString &path)
{
    bool done = false;
    bool failed = false;
    Waiter waiter([&] { return done; });
    QObject::connect(&window, &DocumentWindow::loaded, &window, [&] {
        done = true;
        waiter.check();
    });
    QObject::connect(&window, &DocumentWindow::loadFailed, &window, [&] {
        failed = done = true;
        waiter.check();
    });
    window.show();
    window.load(path);
    return waiter.wait(timeoutMs) && !failed;
}

int runOurs(BenchApplication &app, const QString &path, bool worker, const QString &drafts)
{
    Settings settings(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/bench_window_save.conf"_s);
    DocumentWindow window(settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.enableDrafts(DraftStore(drafts));
    if (!loadWindow(window, path)) {
        std::fprintf(stderr, "bench_window_save: cannot open %s\n", qPrintable(path));
        return 1;
    }
    ScrivletTextView *view = window.contentView()->textView();
    view->setFocus();
    drainUntilIdle(app);
    pressKey(view, Qt::Key_A, u"a"_s);
    drainUntilIdle(app);

    bool finished = false;
    bool saved = false;
    Waiter waiter([&] { return finished; });
    QObject::connect(&window, &DocumentWindow::saveFinished, &window, [&](bool ok) {
        saved = ok;
        finished = true;
        waiter.check();
    });
    Typist typist(view);
    Heartbeat heartbeat;
    QElapsedTimer clock;
    heartbeat.start();
    typist.start();
    clock.start();
    if (worker)
        window.startSave();
    else
        window.save();
    waiter.wait(timeoutMs);
    const double savedMs = elapsedMs(clock);
    emitValue("keys_during_save", typist.stop());
    drainUntilIdle(app);
    heartbeat.stop();
    if (!saved)
        std::fprintf(stderr, "bench_window_save: the save failed\n");
    emitValue("save_ms", savedMs);
    emitValue("stall_ms", heartbeat.longestStallMs());
    emitValue("saved_bytes", double(QFileInfo(path).size()));
    emitValue("modified_after", window.isModified() ? 1 : 0);
    return saved ? 0 : 1;
}

int runBare(BenchApplication &app, const QString &path)
{
    QString text;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        text = QString::fromUtf8(file.readAll());
    }
    QPlainTextEdit edit;
    edit.resize(DocumentWindow::defaultSize);
    edit.setPlainText(text);
    text = QString();
    edit.show();
    edit.setFocus();
    drainUntilIdle(app);
    edit.moveCursor(QTextCursor::Start);
    pressKey(&edit, Qt::Key_A, u"a"_s);
    drainUntilIdle(app);

    Typist typist(&edit);
    Heartbeat heartbeat;
    QElapsedTimer clock;
    heartbeat.start();
    typist.start();
    clock.start();
    const DocumentResult<FileStamp> saved
        = DocumentWriter().save(BareDocumentAccess(edit.document()), path);
    edit.document()->setModified(false);
    const double savedMs = elapsedMs(clock);
    emitValue("keys_during_save", typist.stop());
    drainUntilIdle(app);
    heartbeat.stop();
    emitValue("save_ms", savedMs);
    emitValue("stall_ms", heartbeat.longestStallMs());
    emitValue("saved_bytes", double(QFileInfo(path).size()));
    return saved ? 0 : 1;
}

int runChildMode(int argc, char *argv[])
{
    const QString variant = QString::fromLocal8Bit(argv[2]);
    // The editor's own allocator settings; the bare widget keeps the library's.
    if (variant != u"bare")
        HeapTuning::apply();
    QTemporaryDir home;
    isolateUserDirectories(home);
    QStandardPaths::setTestModeEnabled(true);
    BenchApplication app(argc, argv);
    const QString copy = home.filePath(u"saved.txt"_s);
    if (!QFile::copy(QString::fromLocal8Bit(argv[3]), copy))
        return 1;
    if (variant == u"bare")
        return runBare(app, copy);
    return runOurs(app, copy, variant == u"worker", home.filePath(u"drafts"_s));
}

// ---- The driver: runs each variant in a child and prints the figures side by side. ----

using bench::Values;

Values runChild(const QString &variant, const QString &path)
{
    return bench::runChild({u"child"_s, variant, path}, timeoutMs);
}

std::vector<double> column(const std::vector<Values> &runs, const QString &key)
{
    std::vector<double> values;
    for (const Values &run : runs)
        values.push_back(run.value(key, -1));
    return values;
}

void printFigure(const char *name, const std::vector<Values> &ours,
    const std::vector<Values> &reference, const char *referenceName, const char *key,
    const char *note = "")
{
    const QString keyName = QString::fromLatin1(key);
    const double mine = median(column(ours, keyName));
    const double theirs = median(column(reference, keyName));
    std::printf("%s: %.1f ms (%s: %.1f ms, ratio %.3f)%s%s\n", name, mine, referenceName, theirs,
        theirs > 0 ? mine / theirs : -1.0, *note ? " " : "", note);
    std::fflush(stdout);
}

int runDriver(const QString &path, int runs)
{
    std::printf("corpus: %s (%lld bytes); medians of %d runs, a key typed every %d ms\n",
        qPrintable(path), static_cast<long long>(QFileInfo(path).size()), runs, keyIntervalMs);
    std::vector<Values> worker;
    std::vector<Values> waiting;
    std::vector<Values> bare;
    for (int run = 0; run < runs; ++run) {
        worker.push_back(runChild(u"worker"_s, path));
        waiting.push_back(runChild(u"waiting"_s, path));
        bare.push_back(runChild(u"bare"_s, path));
    }
    const double stall = median(column(worker, u"stall_ms"_s));
    const double wall = median(column(worker, u"save_ms"_s));
    const QByteArray stallNote = QByteArray("[target <= 50 ms: ")
        + (stall >= 0 && stall <= 50 ? "met" : "MISSED") + "; worst "
        + QByteArray::number(percentile(column(worker, u"stall_ms"_s), 1.0), 'f', 1) + " ms]";
    const QByteArray wallNote
        = QByteArray("[target < 500 ms: ") + (wall > 0 && wall < 500 ? "met" : "MISSED") + "]";
    printFigure("window-save-longest-stall", worker, bare, "bare QPlainTextEdit", "stall_ms",
        stallNote.constData());
    printFigure("  the window's waiting save", waiting, bare, "bare QPlainTextEdit", "stall_ms");
    printFigure(
        "window-save-wall", worker, bare, "bare QPlainTextEdit", "save_ms", wallNote.constData());
    std::printf("keys typed during the save: %.0f (waiting save: %.0f, bare: %.0f); window "
                "still modified after it: %s; saved %.0f bytes\n",
        median(column(worker, u"keys_during_save"_s)),
        median(column(waiting, u"keys_during_save"_s)), median(column(bare, u"keys_during_save"_s)),
        median(column(worker, u"modified_after"_s)) > 0 ? "yes" : "no",
        median(column(worker, u"saved_bytes"_s)));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 4 && std::strcmp(argv[1], "child") == 0)
        return runChildMode(argc, argv);
    QCoreApplication app(argc, argv);
    const QString path
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"bench/data/corpus-100000000.txt"_s;
    bench::corpus(path);
    return runDriver(path, argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
}
