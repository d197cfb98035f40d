#pragma once

#include <QStringList>
#include <QStringView>

#include <algorithm>

// Ascending order by Unicode code point, case-sensitive ("Zapfino" before "agave"), which is
// what lists of extensions and font families are sorted by. Plain UTF-16 comparison differs
// only where a surrogate pair meets a character from U+E000 to U+FFFF; lifting the surrogates
// above that range gives code-point order without decoding.
inline bool codePointLess(QStringView a, QStringView b) noexcept
{
    const auto key = [](char16_t unit) -> char32_t {
        if (unit >= 0xE000)
            return unit - 0x800;
        if (unit >= 0xD800)
            return unit + 0x2000;
        return unit;
    };
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return key(a[i].unicode()) < key(b[i].unicode());
    }
    return a.size() < b.size();
}

inline void sortByCodePoint(QStringList &list)
{
    std::ranges::sort(list, [](const QString &a, const QString &b) { return codePointLess(a, b); });
}
