#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>

// Shared helpers of the benchmark programs: the generated corpus and a best-of-N timer.
namespace bench {

// Deterministic text of about `bytes` UTF-8 bytes: lines of 1 to 21 words (about 59 bytes a
// line, so 100 MB is about 1.7M lines), mostly ASCII with accented words mixed in.
inline QByteArray generateCorpus(qsizetype bytes)
{
    static const char *const words[] = {
        "the",
        "quick",
        "brown",
        "fox",
        "jumps",
        "over",
        "lazy",
        "dog",
        "and",
        "text",
        "editor",
        "window",
        "line",
        "number",
        "search",
        "replace",
        "file",
        "open",
        "save",
        "caf\xc3\xa9",
        "na\xc3\xafve",
        "r\xc3\xa9sum\xc3\xa9",
        "\xc3\xbc"
        "ber",
        "stra\xc3\x9f"
        "e",
        "d\xc3\xa9j\xc3\xa0",
        "voil\xc3\xa0",
        "a\xc3\xb1o",
        "fa\xc3\xa7"
        "ade",
        "co\xc3\xb6perate",
        "The",
        "THE",
        "of",
        "in",
        "to",
        "is",
        "was",
        "for",
        "on",
        "with",
        "as",
        "at",
        "by",
        "3.14",
        "2026",
        "-",
        "hello,",
        "world.",
        "(note)",
        "\"quoted\"",
    };
    constexpr int wordCount = int(sizeof(words) / sizeof(words[0]));
    QByteArray out;
    out.reserve(bytes + 256);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    while (out.size() < bytes) {
        const int wordsOnLine = 1 + int(next() % 21);
        for (int i = 0; i < wordsOnLine; ++i) {
            if (i > 0)
                out.append(' ');
            out.append(words[next() % wordCount]);
        }
        out.append('\n');
    }
    return out;
}

// The corpus at `path`, written there first when the file is missing.
inline QByteArray corpus(const QString &path, qsizetype bytes = 100 * 1000 * 1000)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.size() >= bytes)
        return file.readAll();
    const QByteArray data = generateCorpus(bytes);
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(data);
    return data;
}

// Best wall-clock time of `runs` calls, in seconds.
inline double bestSeconds(int runs, const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

// One result line: "<name>: <seconds> s, <rate> MB/s". bench/run-benchmarks reads these.
inline void report(const char *name, double seconds, qsizetype bytes)
{
    std::printf("%s: %.4f s, %.0f MB/s\n", name, seconds, double(bytes) / 1e6 / seconds);
    std::fflush(stdout);
}

// The figures a child run of this bench printed, one "key=value" line each. A child that has not
// ended after timeoutMs is killed; what it printed by then is kept, so its figures show as absent.
using Values = QHash<QString, double>;

inline Values runChild(const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        std::fprintf(stderr, "%s: %s did not finish in %d s\n",
            qPrintable(QCoreApplication::applicationName()), qPrintable(arguments.join(u' ')),
            timeoutMs / 1000);
        process.kill();
        process.waitForFinished();
    }
    Values values;
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromLatin1(line.left(equals)), line.mid(equals + 1).toDouble());
    }
    return values;
}

} // namespace bench
