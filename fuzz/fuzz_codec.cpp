// The file codec: decoding any bytes, and saving what was decoded, never loses text that is not
// a line ending; the piecewise save encoder gives the same bytes as the whole-text one, wherever
// the pieces are cut.

#include "FuzzCheck.h"

#include "SaveEncoder.h"
#include "ScrivletDocument.h"

#include <QStringDecoder>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// The line-ending rule one code unit at a time: CR LF and lone CR become LF; every LF stays.
QString naiveNormalize(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out.append(text[i] == u'\r' ? QChar(u'\n') : text[i]);
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    return out;
}

bool hasLoneSurrogate(QStringView text)
{
    return !text.isValidUtf16();
}

// Cuts `text` into pieces whose lengths come from the input (empty pieces too), never between
// the halves of a surrogate pair, feeds them to a SaveEncoder and returns the joined bytes, or
// nothing when a piece failed.
std::optional<QByteArray> encodeInPieces(QStringView text, FuzzedDataProvider &cuts)
{
    SaveEncoder encoder;
    QByteArray joined;
    qsizetype position = 0;
    while (position < text.size()) {
        qsizetype length = cuts.remaining_bytes() == 0
            ? text.size() - position
            : qsizetype(cuts.ConsumeIntegralInRange<int>(0, 40));
        length = std::min(length, text.size() - position);
        const qsizetype end = position + length;
        if (end > 0 && end < text.size() && text[end - 1].isHighSurrogate()
            && text[end].isLowSurrogate())
            --length;
        const DocumentResult<QByteArray> bytes = encoder.encode(text.sliced(position, length));
        if (!bytes)
            return std::nullopt;
        joined += *bytes;
        position += length;
    }
    return joined;
}

void checkSave(QStringView text, FuzzedDataProvider &cuts)
{
    const QString expected = naiveNormalize(text);
    FUZZ_CHECK(ScrivletDocument::normalizeLineEndings(text.toString()) == expected);

    const DocumentResult<QByteArray> whole = ScrivletDocument::encodeForSave(text.toString());
    // Only an unpaired surrogate cannot be written as UTF-8.
    FUZZ_CHECK(whole.hasValue() == !hasLoneSurrogate(expected));
    if (whole) {
        FUZZ_CHECK(!whole->contains('\r'));
        QStringDecoder strict(QStringConverter::Utf8,
            QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        const QString reread = strict.decode(*whole);
        FUZZ_CHECK(!strict.hasError());
        FUZZ_CHECK(reread == expected);
    }

    const std::optional<QByteArray> pieces = encodeInPieces(text, cuts);
    FUZZ_CHECK(pieces.has_value() == whole.hasValue());
    if (pieces)
        FUZZ_CHECK(*pieces == *whole);
}

// What the decoder must give when the bytes are UTF-8: Qt's own strict decoder, keeping a
// byte-order mark as U+FEFF.
std::optional<QString> qtUtf8(QByteArrayView bytes)
{
    QStringDecoder strict(QStringConverter::Utf8,
        QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = strict.decode(bytes);
    if (strict.hasError())
        return std::nullopt;
    return text;
}

// Well-formed UTF-16 after its byte-order mark, as Qt decodes it (the mark dropped).
std::optional<QString> qtMarkedUtf16(QByteArrayView bytes)
{
    const bool marked = bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff");
    if (!marked || bytes.size() % 2 != 0)
        return std::nullopt;
    QStringDecoder utf16(QStringConverter::Utf16, QStringConverter::Flag::Stateless);
    QString text = utf16.decode(bytes);
    if (!text.isValidUtf16())
        return std::nullopt;
    return text;
}

bool hasC1Byte(QByteArrayView bytes)
{
    return std::any_of(
        bytes.begin(), bytes.end(), [](char byte) { return (uchar(byte) & 0xE0) == 0x80; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    // Mac OS Roman maps every byte, so decoding never fails.
    const DocumentResult<QString> decoded = ScrivletDocument::decodeText(bytes);
    FUZZ_CHECK(decoded.hasValue());
    FUZZ_CHECK(decoded->isValidUtf16());
    if (const std::optional<QString> utf16 = qtMarkedUtf16(bytes))
        FUZZ_CHECK(*decoded == *utf16);
    else if (const std::optional<QString> utf8 = qtUtf8(bytes))
        FUZZ_CHECK(*decoded == *utf8);
    else if (!hasC1Byte(bytes))
        FUZZ_CHECK(*decoded == QString::fromLatin1(bytes));
    else
        FUZZ_CHECK(decoded->size() == bytes.size());

    // The cuts are read from the end of the input; the text is the whole input, decoded.
    FuzzedDataProvider cuts(data, size);
    checkSave(*decoded, cuts);

    // Any UTF-16 text the editor may hold, lone surrogates included.
    FuzzedDataProvider units(data, size);
    const QString text = FuzzText::utf16Units(units.ConsumeBytesAsString(size / 2 * 2));
    FuzzedDataProvider moreCuts(data, size);
    checkSave(text, moreCuts);
    return 0;
}
