#include "SerializedValueScreen.h"

#include <QString>

#include <optional>

namespace {

constexpr QStringView serializedPrefixes[] = {u"@Variant(", u"@DateTime("};
constexpr qsizetype longestPrefix = 10;

int hexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

int octalValue(char ch)
{
    return ch >= '0' && ch <= '7' ? ch - '0' : -1;
}

std::optional<char16_t> simpleEscape(char ch)
{
    switch (ch) {
    case 'a':
        return u'\a';
    case 'b':
        return u'\b';
    case 'f':
        return u'\f';
    case 'n':
        return u'\n';
    case 'r':
        return u'\r';
    case 't':
        return u'\t';
    case 'v':
        return u'\v';
    case '"':
    case '?':
    case '\'':
    case '\\':
        return char16_t(ch);
    default:
        return std::nullopt;
    }
}

// Qt accumulates a numeric escape in a 16-bit unit, so "\x10040" is "@" too.
char16_t numericEscape(QByteArrayView ini, qsizetype &i, int base, char16_t value)
{
    const auto digit = base == 16 ? hexValue : octalValue;
    for (int d; i < ini.size() && (d = digit(ini.at(i))) != -1; ++i)
        value = char16_t(value * base + d);
    return value;
}

// Decodes the escape whose backslash is at `i` - 1, as Qt does; nothing for one Qt skips.
std::optional<char16_t> decodeEscape(QByteArrayView ini, qsizetype &i)
{
    const char escaped = ini.at(i++);
    if (const std::optional<char16_t> simple = simpleEscape(escaped))
        return simple;
    if (escaped == 'x') {
        if (i < ini.size() && hexValue(ini.at(i)) != -1)
            return numericEscape(ini, i, 16, 0);
        return std::nullopt;
    }
    if (octalValue(escaped) != -1)
        return numericEscape(ini, i, 8, char16_t(octalValue(escaped)));
    // A continued line ending in CR LF or LF CR.
    if ((escaped == '\n' || escaped == '\r') && i < ini.size()
        && (ini.at(i) == '\n' || ini.at(i) == '\r') && ini.at(i) != escaped)
        ++i;
    return std::nullopt;
}

// The characters Qt's unescaping could make of the bytes from `from` on, up to `count`.
QString decodedFrom(QByteArrayView ini, qsizetype from, qsizetype count)
{
    QString decoded;
    qsizetype i = from;
    while (i < ini.size() && decoded.size() < count) {
        const char ch = ini.at(i++);
        if (ch == '"') {
            // A closing quote also skips the blanks after it; skipping them after an opening
            // one as well can only find more.
            while (i < ini.size() && (ini.at(i) == ' ' || ini.at(i) == '\t'))
                ++i;
        } else if (ch != '\\') {
            decoded += QChar(char16_t(uchar(ch)));
        } else if (i < ini.size()) {
            if (const std::optional<char16_t> escaped = decodeEscape(ini, i))
                decoded += QChar(*escaped);
        }
    }
    return decoded;
}

// Where the bytes that make an "@" at `at` end, when a serialized value's prefix follows it.
std::optional<qsizetype> serializedValueAtSign(QByteArrayView ini, qsizetype at)
{
    qsizetype atSignEnd = at + 1;
    if (ini.at(at) == '\\') {
        if (atSignEnd == ini.size() || decodeEscape(ini, atSignEnd) != u'@')
            return std::nullopt;
    }
    const QString decoded = u'@' + decodedFrom(ini, atSignEnd, longestPrefix - 1);
    for (QStringView prefix : serializedPrefixes) {
        if (decoded.startsWith(prefix))
            return atSignEnd;
    }
    return std::nullopt;
}

} // namespace

QList<SerializedValueScreen::AtSign> SerializedValueScreen::possibleSerializedValues(
    QByteArrayView ini)
{
    QList<AtSign> found;
    // Qt pairs each backslash with the byte after it, so only one after an even run of
    // backslashes starts an escape.
    qsizetype backslashRun = 0;
    for (qsizetype at = 0; at < ini.size(); ++at) {
        const char ch = ini.at(at);
        const bool startsEscape = ch == '\\' && backslashRun % 2 == 0;
        if (ch == '@' || startsEscape) {
            if (const std::optional<qsizetype> atSignEnd = serializedValueAtSign(ini, at))
                found.append({at, *atSignEnd});
        }
        backslashRun = ch == '\\' ? backslashRun + 1 : 0;
    }
    return found;
}

QByteArray SerializedValueScreen::withAtSignsReplaced(
    QByteArrayView ini, const QList<AtSign> &atSigns, char replacement)
{
    QByteArray result;
    result.reserve(ini.size());
    qsizetype copied = 0;
    for (const AtSign &atSign : atSigns) {
        result += ini.sliced(copied, atSign.begin - copied);
        result += replacement;
        copied = atSign.end;
    }
    result += ini.sliced(copied);
    return result;
}
