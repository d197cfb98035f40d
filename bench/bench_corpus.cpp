// Writes the generated benchmark corpus: bench_corpus PATH [BYTES]
#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_corpus PATH [BYTES]\n");
        return 2;
    }
    const qsizetype bytes = argc > 2 ? std::atoll(argv[2]) : 100 * 1000 * 1000;
    QFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray data = bench::generateCorpus(bytes);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
