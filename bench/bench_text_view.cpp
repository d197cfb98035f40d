// Scrivlet's own text view beside a bare QPlainTextEdit given the same text and font:
// keystroke-to-idle (a letter, then Backspace, alternately; each press sent, painted and the event
// loop run until idle) at the start, middle and end of 1 KB, 10 MB and 100 MB prefixes of the
// corpus, and in the middle of a file that is one line of 10 million characters. Ours keeps the
// status bar's counts (TextDocumentStatistics) following every keystroke, as a window does.
//
//   bench_text_view [CORPUS [PRESSES]]     the driver: prints each figure with the ratio
//   bench_text_view one ours|bare PATH N   a child, one variant in a process of its own
//
// A missing CORPUS is generated (bench::corpus). Paints happen on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise. The bare widget may not finish a huge line in its time; its
// figures are then "n/a".
#include "BenchSupport.h"
#include "TextDocument.h"
#include "TextDocumentStatistics.h"
#include "TextView.h"
#include "WindowBench.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextCursor>

#include <cstdio>
#include <cstring>

using namespace windowbench;

namespace {

using bench::Values;

constexpr int PlaceBudgetMs = 30'000;

// The variant under measurement: how to put the caret and which widget gets the keys.
struct Subject
{
    QWidget *widget = nullptr;
    QWidget *viewport = nullptr;
    qsizetype length = 0;
    std::function<void(qsizetype)> placeCaret;
};

// The high-water mark of this program's memory (VmHWM): unlike ru_maxrss it starts afresh at exec,
// so it does not count the driver that held the corpus when it started this child.
double peakOfThisProgramMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

Presses typeAt(BenchApplication &app, Subject &subject, qsizetype position, int presses)
{
    subject.placeCaret(position);
    return pressKeys(app, subject.widget, subject.viewport, presses, PlaceBudgetMs);
}

int runChild(BenchApplication &app, bool ours, const QString &path, int presses)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QString text = QString::fromUtf8(file.readAll());
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QElapsedTimer clock;
    clock.start();
    Subject subject;
    subject.length = text.size();
    TextDocument document;
    std::unique_ptr<TextDocumentStatistics> statistics;
    std::unique_ptr<QAbstractScrollArea> widget;
    if (ours) {
        // Counting before the text arrives, as a window does: the whole text is counted on a
        // worker, not before the first paint.
        statistics = std::make_unique<TextDocumentStatistics>(&document);
        document.setText(std::move(text));
        auto *view = new TextView;
        view->setDocument(&document);
        subject.placeCaret = [view](qsizetype at) {
            view->setCursorPosition(at);
            view->ensureCaretVisible();
        };
        widget.reset(view);
    } else {
        auto *edit = new QPlainTextEdit;
        edit->setPlainText(text);
        text.clear();
        subject.placeCaret = [edit](qsizetype at) {
            QTextCursor cursor(edit->document());
            cursor.setPosition(int(at));
            edit->setTextCursor(cursor);
            edit->ensureCursorVisible();
        };
        widget.reset(edit);
    }
    widget->setFont(font);
    widget->resize(900, 700);
    widget->show();
    widget->activateWindow();
    widget->setFocus();
    subject.widget = widget.get();
    subject.viewport = widget->viewport();
    widget->viewport()->repaint();
    drainUntilIdle(app);
    emitValue("shown_ms", elapsedMs(clock));
    const std::pair<const char *, qsizetype> places[]
        = {{"start", 0}, {"middle", subject.length / 2}, {"end", subject.length}};
    for (const auto &[name, position] : places)
        emitPresses(name, typeAt(app, subject, position, presses));
    emitValue("peak_mb", peakOfThisProgramMegabytes());
    return 0;
}

Values runVariant(const QString &variant, const QString &path, int presses, int timeoutMs)
{
    return bench::runChild(
        {QStringLiteral("one"), variant, path, QString::number(presses)}, timeoutMs);
}

QString number(double value)
{
    return value < 0 ? QStringLiteral("n/a") : QString::number(value, 'f', value >= 10 ? 1 : 2);
}

// "name: ours ms (bare: bare ms, bare/ours Nx)": how many times faster the view is.
void printFigure(const QString &name, double ours, double bare, const QString &note)
{
    const QString ratio
        = ours > 0 && bare >= 0 ? QString::number(bare / ours, 'f', 1) : QStringLiteral("n/a");
    std::printf("%s: %s ms (bare QPlainTextEdit: %s ms, bare/ours %sx) %s\n", qPrintable(name),
        qPrintable(number(ours)), qPrintable(number(bare)), qPrintable(ratio), qPrintable(note));
    std::fflush(stdout);
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

// Words separated by spaces and no line feed, `characters` UTF-16 units long.
QString writeLongLine(const QTemporaryDir &dir, const QByteArray &corpus, qsizetype characters)
{
    QByteArray bytes = corpus.left(characters + characters / 5);
    bytes.replace('\n', ' ');
    const QString path = dir.filePath(QStringLiteral("longline.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QString::fromUtf8(bytes).left(characters).toUtf8());
    return path;
}

int runDriver(const QString &corpusPath, int presses)
{
    QTemporaryDir dir;
    std::vector<std::pair<QString, QString>> files;
    {
        const QByteArray bytes = bench::corpus(corpusPath);
        for (const auto &[name, size] :
            {std::pair {"1KB", 1000}, {"10MB", 10'000'000}, {"100MB", 100'000'000}})
            files.emplace_back(QString::fromLatin1(name), writePrefix(dir, bytes, size));
        files.emplace_back(QStringLiteral("line10M"), writeLongLine(dir, bytes, 10'000'000));
    }
    for (const auto &[name, path] : files) {
        const bool longLine = name == u"line10M";
        const Values bare = runVariant(
            QStringLiteral("bare"), path, longLine ? 4 : presses, longLine ? 180'000 : 900'000);
        const Values ours = runVariant(QStringLiteral("ours"), path, presses, 900'000);
        std::printf("%s: shown in %s ms (bare %s ms), peak %s MB (bare %s MB)\n", qPrintable(name),
            qPrintable(number(ours.value(QStringLiteral("shown_ms"), -1))),
            qPrintable(number(bare.value(QStringLiteral("shown_ms"), -1))),
            qPrintable(number(ours.value(QStringLiteral("peak_mb"), -1))),
            qPrintable(number(bare.value(QStringLiteral("peak_mb"), -1))));
        for (const char *place : {"start", "middle", "end"}) {
            const QString key = QString::fromLatin1(place);
            const double oursP99 = ours.value(key + QStringLiteral("_p99_ms"), -1);
            const QString target = longLine ? QStringLiteral("[target < 16 ms: %1]")
                                            : QStringLiteral("[target < 4 ms: %1]");
            const bool met = oursP99 >= 0 && oursP99 < (longLine ? 16 : 4);
            printFigure(QStringLiteral("keystroke-%1-%2-p99").arg(name, key), oursP99,
                bare.value(key + QStringLiteral("_p99_ms"), -1),
                target.arg(met ? QStringLiteral("met") : QStringLiteral("MISSED"))
                    + QStringLiteral(" median %1 ms, %2 presses")
                          .arg(number(ours.value(key + QStringLiteral("_median_ms"), -1)))
                          .arg(ours.value(key + QStringLiteral("_presses"), 0)));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 5 && std::strcmp(argv[1], "one") == 0) {
        QTemporaryDir home;
        isolateUserDirectories(home);
        BenchApplication app(argc, argv);
        return runChild(app, std::strcmp(argv[2], "ours") == 0, QString::fromLocal8Bit(argv[3]),
            std::atoi(argv[4]));
    }
    QCoreApplication app(argc, argv);
    const QString corpus = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral("bench/data/corpus-100000000.txt");
    return runDriver(corpus, argc > 2 ? std::atoi(argv[2]) : 200);
}
