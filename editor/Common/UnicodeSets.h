#pragma once

// The two character sets the editor splits and trims text with. They are spelled out instead of
// asking ICU so the counting and search loops stay inline and never call out per character; the
// tests compare them with ICU's general categories over every code point.

// U+000A-U+000D, U+0085 (next line), U+2028 (line separator), U+2029 (paragraph separator).
constexpr bool isNewline(char32_t c) noexcept
{
    return (c >= 0x000A && c <= 0x000D) || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// General category Z (Zs, Zl, Zp) plus the controls U+0009-U+000D and U+0085.
constexpr bool isWhitespaceOrNewline(char32_t c) noexcept
{
    if (c <= 0x0020)
        return c == 0x0020 || (c >= 0x0009 && c <= 0x000D);
    if (c < 0x0085)
        return false;
    if (c < 0x1680)
        return c == 0x0085 || c == 0x00A0;
    if (c < 0x2000)
        return c == 0x1680;
    if (c <= 0x200A)
        return true;
    return c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}
