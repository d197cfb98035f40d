// Typing into the find panel's search field over a large document:
//
//   bench_find_panel [PATH] [TEXT]
//
// opens PATH (default bench/data/corpus-100000000.txt, generated when missing) in a document
// window, opens the find panel and types TEXT (default "the quick") into its search field one
// character at a time, first at a typist's pace (250 ms a character), then fast (30 ms). A 10 ms
// heartbeat timer measures the longest time the GUI thread went without turning its event loop
// while each character is handled and searched for, and after the last one until the matches are
// shown. The reference is the same search run at once on the GUI thread, which is what a panel
// that searched synchronously on every keystroke would freeze the window for. The matches found
// are checked against that search. Offscreen unless QT_QPA_PLATFORM says otherwise.
#include "BenchSupport.h"
#include "ContentView.h"
#include "DocumentWindow.h"
#include "FindPanel.h"
#include "FindPanelController.h"
#include "FindState.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "TextEditorView.h"
#include "WindowBench.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStandardPaths>

#include <cstdio>

using namespace windowbench;

namespace {

constexpr int loadTimeoutMs = 300'000;
constexpr int resultTimeoutMs = 120'000;

struct TypingFigures
{
    std::vector<double> keystrokeStallsMs; // the longest stall while each character was handled
    double settleStallMs = -1; // the longest stall after the last character, until the matches
    double resultsMs = -1; // from the last character until the matches were shown
};

bool openDocument(DocumentWindow &window, const QString &path)
{
    bool done = false;
    bool loaded = false;
    Waiter waiter([&] { return done; });
    QObject::connect(&window, &DocumentWindow::loaded, &window, [&] {
        loaded = done = true;
        waiter.check();
    });
    QObject::connect(&window, &DocumentWindow::loadFailed, &window, [&] {
        done = true;
        waiter.check();
    });
    window.show();
    window.load(path);
    waiter.wait(loadTimeoutMs);
    return loaded;
}

void typeCharacter(QLineEdit *field, QChar character)
{
    const int key = character == u' ' ? int(Qt::Key_Space) : int(character.toUpper().unicode());
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(character));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(character));
    QApplication::sendEvent(field, &press);
    QApplication::sendEvent(field, &release);
}

// Clears the field (which searches for nothing), then types `text` a character every
// `intervalMs`, the heartbeat running throughout.
TypingFigures typeSearch(QLineEdit *field, FindState *state, const QString &text, int intervalMs)
{
    field->selectAll();
    QKeyEvent clear(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(field, &clear);
    settle(200);
    TypingFigures figures;
    Heartbeat heartbeat;
    for (const QChar character : text) {
        heartbeat.start();
        typeCharacter(field, character);
        settle(intervalMs);
        heartbeat.stop();
        figures.keystrokeStallsMs.push_back(heartbeat.longestStallMs());
    }
    QElapsedTimer clock;
    clock.start();
    heartbeat.start();
    Waiter waiter([state] { return !state->isSearching(); });
    const QMetaObject::Connection watch = QObject::connect(
        state, &FindState::searchingChanged, state, [&waiter] { waiter.check(); });
    if (waiter.wait(resultTimeoutMs))
        figures.resultsMs = elapsedMs(clock) + intervalMs;
    heartbeat.stop();
    figures.settleStallMs = heartbeat.longestStallMs();
    QObject::disconnect(watch);
    return figures;
}

QString verdict(bool met, const char *target)
{
    return QStringLiteral("[target %1: %2]")
        .arg(QString::fromLatin1(target), met ? QStringLiteral("met") : QStringLiteral("MISSED"));
}

void report(const char *pace, const TypingFigures &figures, double synchronousMs)
{
    const double worstKeystroke = percentile(figures.keystrokeStallsMs, 1.0);
    const double worst = std::max(worstKeystroke, figures.settleStallMs);
    std::printf("find-panel-%s-longest-stall: %.1f ms (synchronous search: %.0f ms, ratio %.3fx) "
                "%s\n",
        pace, worst, synchronousMs, worst / synchronousMs,
        qPrintable(verdict(worst >= 0 && worst < 100, "< 100 ms")));
    std::printf("find-panel-%s-keystroke-stall: median %.1f ms, max %.1f ms over %zu keystrokes; "
                "after the last one %.1f ms\n",
        pace, median(figures.keystrokeStallsMs), worstKeystroke, figures.keystrokeStallsMs.size(),
        figures.settleStallMs);
    std::printf(
        "find-panel-%s-matches-shown: %.0f ms after the last keystroke\n", pace, figures.resultsMs);
    std::fflush(stdout);
}

// The matches the panel shows against a search of the whole text run at once, which is also
// timed: the freeze that a synchronous panel would cause on every keystroke.
bool checkMatches(ContentView *content, FindState *shown, double &synchronousMs)
{
    FindState reference;
    reference.setSearchText(shown->searchText());
    QElapsedTimer clock;
    clock.start();
    reference.updateMatches(content->editor()->documentText().wholeText());
    synchronousMs = elapsedMs(clock);
    std::printf("find-panel: \"%s\" found %lld times (synchronous search: %lld), %s\n",
        qPrintable(shown->searchText()), static_cast<long long>(shown->matchCount()),
        static_cast<long long>(reference.matchCount()),
        shown->matchRanges() == reference.matchRanges() ? "same matches" : "DIFFERENT MATCHES");
    return shown->matchRanges() == reference.matchRanges();
}

int run(const QString &path, const QString &text)
{
    Settings settings(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/bench.conf"));
    DocumentWindow window(settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    if (!openDocument(window, path)) {
        std::fprintf(stderr, "bench_find_panel: cannot open %s\n", qPrintable(path));
        return 1;
    }
    ContentView *content = window.contentView();
    window.activateWindow();
    FindPanelController::shared().registerActiveDocument(
        content->findState(), &content->editor()->documentText());
    FindPanelController::shared().showPanel(FindMode::Find);
    auto *field = FindPanelController::shared().panel()->findChild<QLineEdit *>(
        QStringLiteral("scrivlet.findBar.searchField"));
    FindState *state = content->findState();
    std::printf("find-panel: %lld UTF-16 units, %d lines, typing \"%s\"\n",
        static_cast<long long>(content->editor()->documentText().length()),
        int(content->editor()->view()->document()->lineCount()), qPrintable(text));
    settle(500);

    bool same = true;
    for (const auto &[pace, intervalMs] : {std::pair {"typist", 250}, std::pair {"fast", 30}}) {
        const TypingFigures figures = typeSearch(field, state, text, intervalMs);
        double synchronousMs = 0;
        same = checkMatches(content, state, synchronousMs) && same;
        report(pace, figures, synchronousMs);
    }
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    isolateUserDirectories(home);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : QStringLiteral("bench/data/corpus-100000000.txt");
    const QString text = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("the quick");
    if (!QFile::exists(path))
        bench::corpus(path);
    return run(path, text);
}
