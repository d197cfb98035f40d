// What keeping a crash-recovery draft costs while typing into a large document: the time each
// keystroke spends noting its edit, and the time each journal append takes, beside the same
// typing with no draft kept. Usage: bench_drafts CORPUS [KEYS]
#include "BenchSupport.h"
#include "DraftRecorder.h"
#include "DraftStore.h"
#include "TextDocument.h"

#include <QApplication>
#include <QTemporaryDir>

#include <vector>

namespace {

// Milliseconds per keystroke, each one a character inserted at a spread of places.
std::vector<double> typeKeys(
    TextDocument &document, int keys, DraftRecorder *recorder, std::vector<double> *flushes)
{
    std::vector<double> samples;
    const qsizetype length = document.length();
    for (int i = 0; i < keys; ++i) {
        const qsizetype position = (qint64(length) * (i % 97)) / 97;
        QElapsedTimer clock;
        clock.start();
        document.replace(position, 0, u"x");
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (recorder && i % 100 == 99) {
            clock.restart();
            recorder->flush();
            flushes->push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    return samples;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0
                          : values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const int keys = argc > 2 ? std::atoi(argv[2]) : 2000;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    TextDocument document(QString::fromUtf8(file.readAll()));

    const std::vector<double> bare = typeKeys(document, keys, nullptr, nullptr);
    QTemporaryDir folder;
    const DraftStore store(folder.filePath(QStringLiteral("drafts")));
    DraftRecorder recorder(&document, store);
    recorder.startFrom(QString::fromLocal8Bit(argv[1]));
    std::vector<double> flushes;
    const std::vector<double> recorded = typeKeys(document, keys, &recorder, &flushes);
    std::printf("drafts: %d keystrokes into %lld characters\n", keys, qint64(document.length()));
    std::printf("draft-keystroke-median: %.4f ms (no draft: %.4f ms)\n", percentile(recorded, 0.5),
        percentile(bare, 0.5));
    std::printf("draft-keystroke-p99: %.4f ms (no draft: %.4f ms)\n", percentile(recorded, 0.99),
        percentile(bare, 0.99));
    std::printf("draft-flush-of-100-edits-max: %.3f ms\n", percentile(flushes, 1.0));
    std::printf("draft-first-edit: base %s\n",
        store.draft(recorder.draftId())->base == DraftStore::BaseKind::File
            ? "is the file (no copy)"
            : "is a snapshot");
    return 0;
}
