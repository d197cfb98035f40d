// Throughput of the document codec on the shared corpus: UTF-8 decoding (beside Qt's own decoder
// as the reference), line-ending normalisation and encoding for save.
#include "BenchSupport.h"
#include "ScrivletDocument.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int runs = 5;

// Best time of `runs` calls of `produce`. The previous result is freed before the clock starts:
// releasing hundreds of megabytes is not part of producing the next one.
template<typename Result> double timeProducing(const std::function<Result()> &produce, Result *last)
{
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        *last = Result();
        QElapsedTimer timer;
        timer.start();
        *last = produce();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

QString withCrLfEndings(const QString &text)
{
    QString crlf = text;
    crlf.replace(u'\n', u"\r\n"_s);
    return crlf;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"bench/data/corpus.txt"_s;
    const QByteArray bytes = bench::corpus(path);
    const qsizetype size = bytes.size();

    QString text;
    bench::report("decode-utf8",
        timeProducing<QString>([&] { return ScrivletDocument::decodeText(bytes).value(); }, &text),
        size);

    QString reference;
    bench::report("decode-utf8-qt-fromUtf8",
        timeProducing<QString>([&] { return QString::fromUtf8(bytes); }, &reference), size);
    if (reference != text) {
        std::fprintf(stderr, "the decoded text differs from Qt's decoding\n");
        return 1;
    }

    QString normalized;
    bench::report("normalize-line-endings",
        timeProducing<QString>(
            [&] { return ScrivletDocument::normalizeLineEndings(text); }, &normalized),
        size);

    // Rated by the size of the file the CRLF text would come from.
    const QString crlf = withCrLfEndings(text);
    const qsizetype crlfSize = size + crlf.size() - text.size();
    QString normalizedCrlf;
    bench::report("normalize-line-endings-crlf",
        timeProducing<QString>(
            [&] { return ScrivletDocument::normalizeLineEndings(crlf); }, &normalizedCrlf),
        crlfSize);
    if (normalizedCrlf != normalized) {
        std::fprintf(stderr, "CRLF and LF texts normalise differently\n");
        return 1;
    }

    QByteArray saved;
    bench::report("encode-for-save",
        timeProducing<QByteArray>(
            [&] { return ScrivletDocument::encodeForSave(text).value(); }, &saved),
        size);
    if (saved != bytes) {
        std::fprintf(stderr, "the saved bytes differ from the corpus\n");
        return 1;
    }
    return 0;
}
