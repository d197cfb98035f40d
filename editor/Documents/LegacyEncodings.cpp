#include "LegacyEncodings.h"

#include <array>

namespace {

// U+FFFF is a noncharacter that no table maps a byte to, so it can mark the undefined bytes.
constexpr char16_t undefined = 0xFFFF;

// clang-format off
// Bytes 0x80–0x9F; the rest of Windows-1252 is Latin 1.
constexpr std::array<char16_t, 32> windows1252C1 = {
    0x20AC, undefined, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, undefined, 0x017D, undefined,
    undefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, undefined, 0x017E, 0x0178,
};

// Bytes 0x80–0xFF; below that Mac OS Roman is ASCII.
constexpr std::array<char16_t, 128> macRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};
// clang-format on

using ByteTable = std::array<char16_t, 256>;

constexpr ByteTable makeTable(const char16_t *upper, int firstUpperByte, int upperCount)
{
    ByteTable table {};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = char16_t(byte);
    for (int i = 0; i < upperCount; ++i)
        table[firstUpperByte + i] = upper[i];
    return table;
}

constexpr ByteTable windows1252Table = makeTable(windows1252C1.data(), 0x80, 32);
constexpr ByteTable macRomanTable = makeTable(macRomanHigh.data(), 0x80, 128);

std::optional<QString> decodeWithTable(QByteArrayView bytes, const ByteTable &table)
{
    QString text(bytes.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    // Checked once at the end rather than per byte: failing inputs are rare and a branch-free
    // loop is what keeps large files quick.
    bool sawUndefined = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out[i] = table[in[i]];
        sawUndefined |= out[i] == undefined;
    }
    if (sawUndefined)
        return std::nullopt;
    return text;
}

bool isC1Control(uchar byte)
{
    return (byte & 0xE0) == 0x80;
}

bool containsC1Control(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    // Fixed-size blocks with no early exit inside let the compiler vectorise the test.
    constexpr qsizetype block = 64;
    qsizetype i = 0;
    for (; i + block <= size; i += block) {
        bool found = false;
        for (qsizetype j = 0; j < block; ++j)
            found |= isC1Control(data[i + j]);
        if (found)
            return true;
    }
    for (; i < size; ++i) {
        if (isC1Control(data[i]))
            return true;
    }
    return false;
}

} // namespace

namespace LegacyEncodings {

std::optional<QString> decodeLatin1(QByteArrayView bytes)
{
    if (containsC1Control(bytes))
        return std::nullopt;
    return QString::fromLatin1(bytes);
}

std::optional<QString> decodeWindows1252(QByteArrayView bytes)
{
    return decodeWithTable(bytes, windows1252Table);
}

std::optional<QString> decodeMacRoman(QByteArrayView bytes)
{
    return decodeWithTable(bytes, macRomanTable);
}

} // namespace LegacyEncodings
