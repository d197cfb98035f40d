// Throughput of the status bar's three counts (characters, words, paragraphs) in one pass over
// the decoded corpus. The reference is `LC_ALL=C.UTF-8 wc -m -w -l` on the same file, run by
// bench/run-benchmarks beside this program.
#include "BenchSupport.h"
#include "DocumentStatistics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"bench/data/corpus.txt"_s;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray bytes = bench::corpus(path);
    const QString text = QString::fromUtf8(bytes);

    DocumentStatistics::TextCounts counts;
    const double seconds
        = bench::bestSeconds(5, [&] { counts = DocumentStatistics::countText(text); });
    bench::report("counts", seconds, bytes.size());
    std::printf("  %s\n", qPrintable(DocumentStatistics::statusText(counts)));
    return 0;
}
