#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken property is reported like a crash, so that libFuzzer keeps the input that shows it
// (crash-<hash>) and the run fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace FuzzText {

// The input's bytes as UTF-16 code units, two bytes each (little-endian): every unit, lone
// surrogates included, can appear.
inline QString utf16Units(const std::string &bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size() / 2));
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(char16_t(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8))));
    return text;
}

} // namespace FuzzText
