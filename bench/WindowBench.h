#pragma once

// Helpers of bench_window: an application that sees every event it delivers (to know when the
// event loop has nothing left to do and when a paint has finished), a heartbeat that measures
// how long the GUI thread went without turning its event loop, keystroke-to-idle, and small
// statistics.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include <sys/resource.h>

namespace windowbench {

// Counts every event it delivers and reports the end of each paint of one chosen widget.
class BenchApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        ++m_delivered;
        const bool watchedPaint = event->type() == QEvent::Paint && receiver == m_paintTarget;
        const bool result = QApplication::notify(receiver, event);
        if (watchedPaint && m_afterPaint)
            m_afterPaint();
        return result;
    }

    quint64 delivered() const { return m_delivered; }

    void watchPaints(QObject *target, std::function<void()> afterPaint)
    {
        m_paintTarget = target;
        m_afterPaint = std::move(afterPaint);
    }

private:
    quint64 m_delivered = 0;
    QObject *m_paintTarget = nullptr;
    std::function<void()> m_afterPaint;
};

// Runs the event loop until two passes in a row deliver nothing: no posted event (paints,
// queued calls) and no timer that is due, which includes every 0 ms timer.
inline void drainUntilIdle(BenchApplication &app)
{
    int quietPasses = 0;
    while (quietPasses < 2) {
        const quint64 before = app.delivered();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        quietPasses = app.delivered() == before ? quietPasses + 1 : 0;
    }
}

// Runs a real event loop (timers at the priority exec() gives them) until `done` holds when
// `check` is called, or until `timeoutMs`. Returns whether `done` held.
class Waiter
{
public:
    explicit Waiter(std::function<bool()> done)
        : m_done(std::move(done))
    { }

    void check()
    {
        if (m_done())
            m_loop.quit();
    }

    bool wait(int timeoutMs)
    {
        if (m_done())
            return true;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        timeout.start(timeoutMs);
        m_loop.exec();
        return m_done();
    }

private:
    std::function<bool()> m_done;
    QEventLoop m_loop;
};

// Lets the event loop run for a while, e.g. until an animation has ended.
inline void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// A 10 ms timer: the longest gap between two ticks, minus the interval, is the longest time the
// GUI thread did not answer.
class Heartbeat
{
public:
    static constexpr int intervalMs = 10;

    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
    }

    void start()
    {
        m_clock.start();
        m_last = 0;
        m_maxGap = 0;
        m_timer.start();
    }

    void stop()
    {
        tick();
        m_timer.stop();
    }

    double longestStallMs() const { return std::max(0.0, m_maxGap - intervalMs); }

private:
    void tick()
    {
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        m_maxGap = std::max(m_maxGap, now - m_last);
        if (m_trace && now - m_last > 5 * intervalMs)
            std::fprintf(stderr, "heartbeat: %.0f ms without a tick, ending at %.0f ms\n",
                now - m_last, now);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_maxGap = 0;
    // BENCH_WINDOW_TRACE=1 lists every long gap on stderr, to find where a stall happens.
    bool m_trace = qEnvironmentVariableIntValue("BENCH_WINDOW_TRACE") != 0;
};

inline double elapsedMs(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// Peak resident set of this process so far, in MB.
inline double peakResidentMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The value below which `fraction` of the samples lie (nearest rank).
inline double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return -1;
    std::sort(samples.begin(), samples.end());
    const auto rank = std::size_t(std::max(1.0, fraction * double(samples.size()) + 0.999999));
    return samples[std::min(samples.size(), rank) - 1];
}

inline double median(std::vector<double> samples)
{
    if (samples.empty())
        return -1;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// One measured value of a child process, read back by the driver: "key=value".
inline void emitValue(const char *key, double value)
{
    std::printf("%s=%.6f\n", key, value);
    std::fflush(stdout);
}

// CPU time of the calling thread: unlike the wall clock it does not count the time the thread
// waited for a core that another process held.
inline double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Each press timed whole (wall clock and the GUI thread's CPU time) and in its parts: the key
// handled (the edit and what follows it at once), the viewport painted, and the rest until idle.
struct Presses
{
    std::vector<double> total;
    std::vector<double> cpu;
    std::vector<double> handled;
    std::vector<double> painted;
    double paintsPerPress = 0;
};

// Keystroke-to-idle: presses alternate between a letter and Backspace sent to `target`, each
// timed from sending the key until `viewport` has been repainted and the event loop has nothing
// left to do. Stops early (after at least two presses) once `budgetMs` is spent.
inline Presses pressKeys(
    BenchApplication &app, QWidget *target, QWidget *viewport, int presses, double budgetMs)
{
    drainUntilIdle(app);
    settle(50);
    drainUntilIdle(app);
    int paints = 0;
    app.watchPaints(viewport, [&paints] { ++paints; });
    Presses result;
    double spent = 0;
    for (int i = 0; i < presses && (i < 2 || spent < budgetMs); ++i) {
        const bool letter = i % 2 == 0;
        const Qt::Key key = letter ? Qt::Key_A : Qt::Key_Backspace;
        const QString text = letter ? QStringLiteral("a") : QString();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        const double cpuStart = threadCpuMs();
        QElapsedTimer clock;
        clock.start();
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        const double handled = elapsedMs(clock);
        viewport->repaint();
        const double painted = elapsedMs(clock);
        drainUntilIdle(app);
        result.total.push_back(elapsedMs(clock));
        result.cpu.push_back(threadCpuMs() - cpuStart);
        result.handled.push_back(handled);
        result.painted.push_back(painted - handled);
        spent += result.total.back();
    }
    app.watchPaints(nullptr, {});
    if (!result.total.empty())
        result.paintsPerPress = double(paints) / double(result.total.size());
    return result;
}

// "PLACE_median_ms=…" and the rest, for the driver that started this child.
inline void emitPresses(const char *place, const Presses &presses)
{
    const QByteArray prefix(place);
    const auto put = [&prefix](const char *key, double value) {
        emitValue((prefix + key).constData(), value);
    };
    put("_median_ms", median(presses.total));
    put("_p99_ms", percentile(presses.total, 0.99));
    put("_max_ms", percentile(presses.total, 1.0));
    put("_presses", double(presses.total.size()));
    put("_cpu_p99_ms", percentile(presses.cpu, 0.99));
    put("_handled_median_ms", median(presses.handled));
    put("_painted_median_ms", median(presses.painted));
}

// Every XDG directory the editor may write to, in a private temporary folder (the font cache
// stays where it is, so fontconfig does not rescan the fonts in every run).
inline void isolateUserDirectories(const QTemporaryDir &home)
{
    const QString base = home.path();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
        const QString dir = base + u'/' + QString::fromLatin1(name);
        QDir().mkpath(dir);
        qputenv(name, dir.toLocal8Bit());
    }
    const QString runtime = base + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
}

} // namespace windowbench
