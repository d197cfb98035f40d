// Case-insensitive search of a common word over the whole corpus, and the cost of bringing the
// matches up to date after one keystroke.
#include "BenchSupport.h"
#include "TextAccess.h"
#include "TextMatcher.h"

#include <QString>

#include <cstdio>
#include <utility>

int main(int argc, char *argv[])
{
    const QString path = QString::fromLocal8Bit(argc > 1 ? argv[1] : "bench/data/corpus.txt");
    const QString word = QString::fromUtf8(argc > 2 ? argv[2] : "the");
    const QByteArray bytes = bench::corpus(path);
    const QString text = QString::fromUtf8(bytes);

    const TextMatcher matcher(word, Qt::CaseInsensitive);
    MatchList matches;
    const double seconds = bench::bestSeconds(3, [&] { matches = matcher.findAll(text); });
    bench::report("find-case-insensitive", seconds, bytes.size());
    std::printf("find-case-insensitive matches: %lld\n", static_cast<long long>(matches.size()));

    // Typing one letter near the start and in the middle of the text, then taking it back, many
    // times: near the start, almost every match moves.
    StringTextAccess document(text);
    LiveMatches live(matches);
    for (const auto &[where, position] :
        {std::pair {"start", qsizetype(10)}, std::pair {"middle", text.size() / 2}}) {
        constexpr int edits = 200;
        double editSeconds = 0;
        const auto timed = [&](auto work) {
            editSeconds += bench::bestSeconds(1, work);
        };
        for (int i = 0; i < edits; ++i) {
            document.text().insert(position, u'x');
            timed([&] { matcher.updateAfterEdit(live, document, position, 0, 1); });
            document.text().remove(position, 1);
            timed([&] { matcher.updateAfterEdit(live, document, position, 1, 0); });
        }
        std::printf("find-after-keystroke-%s: %.1f us per edit (%lld matches kept)\n", where,
            editSeconds / (2 * edits) * 1e6, static_cast<long long>(live.size()));
    }
    return live.toList() == matches ? 0 : 1;
}
