#include "ScrivletDocument.h"

#include "LegacyEncodings.h"
#include "MemoryBudget.h"

#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unicode/ustring.h>
#include <unistd.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
// Compiled for AVX2 whatever the build's target and chosen at run time when the CPU has it.
#define SCRIVLET_AVX2_KERNELS 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ICU takes 32-bit lengths, and files may be larger; a chunk also bounds the work per call.
constexpr qsizetype chunkLength = qsizetype(1) << 20;

// Fresh memory is faulted in page by page on first write, which for a text of hundreds of
// megabytes can cost more than converting it; huge pages cut the number of faults 512-fold.
void adviseHugePages(void *data, qsizetype bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t hugePage = 2 * 1024 * 1024;
    if (bytes < qsizetype(4 * hugePage))
        return;
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (address + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t end = (address + std::uintptr_t(bytes)) & ~(hugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

bool isUtf8Continuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// Copies the ASCII bytes at `in` to `out` as UTF-16 and returns how many there were. Whole
// blocks are stored even past the first non-ASCII byte: `out` has room for a code unit per input
// byte, and the caller overwrites those units next.
qsizetype widenAscii(const uchar *in, const uchar *end, char16_t *out)
{
    const uchar *p = in;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16, out += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(block, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(block, zero));
        if (const uint nonAscii = uint(_mm_movemask_epi8(block)))
            return p - in + qCountTrailingZeroBits(nonAscii);
    }
#endif
    while (p < end && *p < 0x80)
        *out++ = *p++;
    return p - in;
}

#ifdef SCRIVLET_AVX2_KERNELS
[[gnu::target("avx2")]] qsizetype widenAsciiAvx2(const uchar *in, const uchar *end, char16_t *out)
{
    const uchar *p = in;
    for (; end - p >= 32; p += 32, out += 32) {
        const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        const __m256i low = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(block));
        const __m256i high = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(block, 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 16), high);
        if (const uint nonAscii = uint(_mm256_movemask_epi8(block)))
            return p - in + qCountTrailingZeroBits(nonAscii);
    }
    return p - in + widenAscii(p, end, out);
}
#endif

struct Progress
{
    qsizetype consumed = 0;
    qsizetype produced = 0;
};

// Hands the bytes up to the next ASCII byte to ICU, which is strict: overlong forms, encoded
// surrogates, code points above U+10FFFF and truncated sequences all fail. An ASCII byte never
// lies inside a sequence, so the run ends on a sequence boundary unless the text is malformed.
std::optional<Progress> decodeRunWithIcu(const uchar *in, const uchar *end, char16_t *out)
{
    const uchar *runEnd = in;
    while (runEnd < end && *runEnd >= 0x80 && runEnd - in < chunkLength)
        ++runEnd;
    // A run cut at the chunk limit must not split a sequence; valid UTF-8 starts one at most
    // three bytes back.
    for (int step = 0; step < 3 && runEnd < end && isUtf8Continuation(*runEnd); ++step)
        --runEnd;
    const auto length = int32_t(runEnd - in);
    int32_t produced = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(out, length, &produced, reinterpret_cast<const char *>(in), length, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return Progress {length, produced};
}

using WidenAscii = qsizetype (*)(const uchar *, const uchar *, char16_t *);

// ASCII and two-byte sequences (most Latin, Greek and Cyrillic text) are decoded here; the rest
// goes to ICU. Returns the number of code units written to `out`, which has one per byte.
template<WidenAscii widen>
[[gnu::always_inline]] inline std::optional<qsizetype> decodeUtf8Loop(
    QByteArrayView bytes, char16_t *const out)
{
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = in + bytes.size();
    char16_t *next = out;
    while (in < end) {
        const qsizetype ascii = widen(in, end, next);
        in += ascii;
        next += ascii;
        if (in == end)
            break;
        if (end - in >= 2 && in[0] >= 0xC2 && in[0] <= 0xDF && isUtf8Continuation(in[1])) {
            *next++ = char16_t(((in[0] & 0x1F) << 6) | (in[1] & 0x3F));
            in += 2;
            continue;
        }
        const std::optional<Progress> run = decodeRunWithIcu(in, end, next);
        if (!run)
            return std::nullopt;
        in += run->consumed;
        next += run->produced;
    }
    return next - out;
}

#ifdef SCRIVLET_AVX2_KERNELS
[[gnu::target("avx2")]] std::optional<qsizetype> decodeUtf8Avx2(QByteArrayView bytes, char16_t *out)
{
    return decodeUtf8Loop<widenAsciiAvx2>(bytes, out);
}
#endif

std::optional<qsizetype> decodeUtf8Into(QByteArrayView bytes, char16_t *out)
{
#ifdef SCRIVLET_AVX2_KERNELS
    static const bool hasAvx2 = __builtin_cpu_supports("avx2");
    return hasAvx2 ? decodeUtf8Avx2(bytes, out) : decodeUtf8Loop<widenAscii>(bytes, out);
#else
    return decodeUtf8Loop<widenAscii>(bytes, out);
#endif
}

QString uninitializedText(qsizetype units)
{
    QString text(units, Qt::Uninitialized);
    adviseHugePages(text.data(), units * qsizetype(sizeof(QChar)));
    return text;
}

// UTF-16 never needs more code units than UTF-8 has bytes, so the text is written straight into
// a buffer of that size.
std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QString text = uninitializedText(bytes.size());
    const std::optional<qsizetype> length
        = decodeUtf8Into(bytes, reinterpret_cast<char16_t *>(text.data()));
    if (!length)
        return std::nullopt;
    text.resize(*length);
    // Mostly non-ASCII text leaves much of the buffer unused; give it back for a long-lived text.
    if (*length < text.capacity() / 4 * 3)
        text.squeeze();
    return text;
}

// UTF-16 announced by its byte-order mark (Windows Notepad writes it), without the mark. An odd
// byte count or an unpaired surrogate makes it no UTF-16 text, and the other decoders are tried.
std::optional<QString> decodeUtf16WithByteOrderMark(QByteArrayView bytes)
{
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return std::nullopt;
    const auto first = uchar(bytes[0]);
    const auto second = uchar(bytes[1]);
    const bool littleEndian = first == 0xFF && second == 0xFE;
    if (!littleEndian && !(first == 0xFE && second == 0xFF))
        return std::nullopt;
    const qsizetype units = bytes.size() / 2 - 1;
    QString text(units, Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    const char *in = bytes.data() + 2;
    if (littleEndian)
        qFromLittleEndian<char16_t>(in, units, out);
    else
        qFromBigEndian<char16_t>(in, units, out);
    if (!QStringView(text).isValidUtf16())
        return std::nullopt;
    return text;
}

// Copies the ASCII code units at `in` to `out` as bytes and returns how many there were. Like
// widenAscii, it may store a whole block past the first non-ASCII unit; the caller overwrites
// those bytes next.
qsizetype narrowAscii(const char16_t *in, const char16_t *end, uchar *out)
{
    const char16_t *p = in;
#ifdef __SSE2__
    const __m128i nonAsciiBits = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16, out += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(low, high));
        const __m128i lowAscii = _mm_cmpeq_epi16(_mm_and_si128(low, nonAsciiBits), zero);
        const __m128i highAscii = _mm_cmpeq_epi16(_mm_and_si128(high, nonAsciiBits), zero);
        const uint ascii = uint(_mm_movemask_epi8(_mm_packs_epi16(lowAscii, highAscii)));
        if (ascii != 0xFFFF)
            return p - in + qCountTrailingZeroBits(~ascii);
    }
#endif
    while (p < end && *p < 0x80)
        *out++ = uchar(*p++);
    return p - in;
}

// The code units up to the next ASCII unit, for ICU. A run cut at the chunk limit must not split
// a surrogate pair, which ICU would take for two unpaired halves.
qsizetype nonAsciiRunLength(const char16_t *in, const char16_t *end)
{
    const char16_t *runEnd = in;
    while (runEnd < end && *runEnd >= 0x80 && runEnd - in < chunkLength)
        ++runEnd;
    if (runEnd < end && QChar::isHighSurrogate(runEnd[-1]) && runEnd - in > 1)
        --runEnd;
    return runEnd - in;
}

// ASCII and two-byte characters are encoded here; ICU takes the rest and, unlike Qt's encoder,
// reports an unpaired surrogate instead of substituting for it.
std::optional<QByteArray> encodeUtf8Strict(QStringView text)
{
    const auto *in = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *const end = in + text.size();
    // The size is the room written so far; sized for mostly-ASCII text and grown if need be.
    QByteArray bytes(text.size() + text.size() / 8 + 16, Qt::Uninitialized);
    adviseHugePages(bytes.data(), bytes.size());
    qsizetype written = 0;
    const auto roomFor = [&](qsizetype needed) {
        if (bytes.size() - written < needed)
            bytes.resize(std::max(written + needed, bytes.size() / 2 * 3));
        return reinterpret_cast<uchar *>(bytes.data()) + written;
    };
    while (in < end) {
        uchar *out = roomFor(end - in + 16);
        const qsizetype ascii = narrowAscii(in, end, out);
        in += ascii;
        written += ascii;
        if (in == end)
            break;
        if (*in < 0x800) {
            out[ascii] = uchar(0xC0 | (*in >> 6));
            out[ascii + 1] = uchar(0x80 | (*in & 0x3F));
            ++in;
            written += 2;
            continue;
        }
        const qsizetype runLength = nonAsciiRunLength(in, end);
        out = roomFor(3 * runLength);
        int32_t produced = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strToUTF8(reinterpret_cast<char *>(out), int32_t(3 * runLength), &produced, in,
            int32_t(runLength), &status);
        if (U_FAILURE(status))
            return std::nullopt;
        in += runLength;
        written += produced;
    }
    bytes.resize(written);
    return bytes;
}

// Copies the code units at `in` up to the first carriage return to `out` and returns how many
// there were. Like widenAscii, it may store a whole block past that carriage return.
qsizetype copyUntilCarriageReturn(const char16_t *in, const char16_t *end, char16_t *out)
{
    const char16_t *p = in;
#ifdef __SSE2__
    const __m128i carriageReturn = _mm_set1_epi16('\r');
    for (; end - p >= 16; p += 16, out += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), low);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), high);
        const __m128i found = _mm_packs_epi16(
            _mm_cmpeq_epi16(low, carriageReturn), _mm_cmpeq_epi16(high, carriageReturn));
        if (const uint mask = uint(_mm_movemask_epi8(found)))
            return p - in + qCountTrailingZeroBits(mask);
    }
#endif
    while (p < end && *p != u'\r')
        *out++ = *p++;
    return p - in;
}

// For a text known to hold a carriage return. The output never gets ahead of the input, so a
// buffer of the input's length takes the whole-block stores of copyUntilCarriageReturn.
QString normalizeWithCarriageReturns(QStringView text)
{
    QString normalized(text.size(), Qt::Uninitialized);
    adviseHugePages(normalized.data(), text.size() * qsizetype(sizeof(QChar)));
    const auto *in = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *const end = in + text.size();
    auto *const begin = reinterpret_cast<char16_t *>(normalized.data());
    char16_t *out = begin;
    while (in < end) {
        const qsizetype run = copyUntilCarriageReturn(in, end, out);
        in += run;
        out += run;
        if (in == end)
            break;
        *out++ = u'\n';
        ++in;
        if (in < end && *in == u'\n')
            ++in;
    }
    normalized.resize(out - begin);
    return normalized;
}

DocumentError errorFromErrno(int error)
{
    const auto code = (error == EACCES || error == EPERM) ? DocumentError::fileReadNoPermission
                                                          : DocumentError::fileReadUnknown;
    return DocumentError(code, qt_error_string(error));
}

DocumentError tooLarge(qint64 size, qint64 available)
{
    const auto amount = [](qint64 bytes) {
        return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
    };
    return DocumentError(DocumentError::fileReadTooLarge,
        QStringLiteral("It is %1, and opening it takes about %2 of memory, but only %3 is "
                       "available now. Closing other windows or programs makes room.")
            .arg(amount(size), amount(MemoryBudget::bytesToOpen(size)), amount(available)));
}

// Whether memory allows a file of `size` bytes; the figure it was judged by, or the refusal.
DocumentResult<qint64> availableFor(qint64 size)
{
    const qint64 available = MemoryBudget::availableBytes();
    if (MemoryBudget::bytesToOpen(size) > available)
        return tooLarge(size, available);
    return available;
}

// Reads to the end rather than trusting st_size, which may be stale or, for some files, zero;
// a file that keeps growing is refused once memory would not hold it.
DocumentResult<QByteArray> readToEnd(int fd, qsizetype expectedSize, qint64 available)
{
    const qint64 sizeLimit
        = std::max<qint64>(MemoryBudget::largestFileFor(available), expectedSize);
    // One spare byte lets the read that reports the end land without growing the buffer.
    QByteArray bytes(expectedSize + 1, Qt::Uninitialized);
    adviseHugePages(bytes.data(), bytes.size());
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(std::min<qsizetype>(
                std::max<qsizetype>(bytes.size() * 2, 64 * 1024), sizeLimit + 1));
        const ssize_t count = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (count == 0)
            break;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return errorFromErrno(errno);
        filled += count;
        if (filled > sizeLimit)
            return tooLarge(filled, available);
    }
    bytes.resize(filled);
    return bytes;
}

// Only a regular file is read as text: anything else (a folder, a FIFO, a device) is refused.
std::optional<DocumentError> statRegularFile(const QByteArray &nativePath, struct stat &info)
{
    if (::stat(nativePath.constData(), &info) != 0)
        return errorFromErrno(errno);
    if (!S_ISREG(info.st_mode))
        return DocumentError(DocumentError::fileReadCorruptFile);
    return std::nullopt;
}

DocumentResult<ScrivletDocument::OpenFile> openRegularFile(const QString &path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat info = {};
    // Checked before opening: opening a FIFO waits for a writer, and opening some devices has
    // side effects.
    if (const std::optional<DocumentError> error = statRegularFile(nativePath, info))
        return *error;
    // O_NONBLOCK keeps the open from hanging should the path turn into a FIFO after the check.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errorFromErrno(errno);
    auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &info) != 0)
        return errorFromErrno(errno);
    if (!S_ISREG(info.st_mode))
        return DocumentError(DocumentError::fileReadCorruptFile);
    const DocumentResult<qint64> available = availableFor(info.st_size);
    if (!available)
        return available.error();
    // Some network filesystems honour O_NONBLOCK on regular files and would return EAGAIN.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    closeFile.dismiss();
    return ScrivletDocument::OpenFile {fd, qint64(info.st_size), *available};
}

DocumentResult<QByteArray> readRegularFile(const QString &path)
{
    const DocumentResult<ScrivletDocument::OpenFile> file = openRegularFile(path);
    if (!file)
        return file.error();
    const auto closeFile = qScopeGuard([fd = file->descriptor] { ::close(fd); });
    return readToEnd(file->descriptor, qsizetype(file->size), file->available);
}

} // namespace

ScrivletDocument::ScrivletDocument(QString initialText)
    : text(std::move(initialText))
{ }

DocumentResult<ScrivletDocument::OpenFile> ScrivletDocument::openForReading(const QString &path)
{
    return openRegularFile(path);
}

DocumentError ScrivletDocument::readError(int error)
{
    return errorFromErrno(error);
}

DocumentError ScrivletDocument::tooLargeError(qint64 size, qint64 available)
{
    return tooLarge(size, available);
}

std::optional<QString> ScrivletDocument::decodeStrictUtf8(QByteArrayView bytes)
{
    return decodeUtf8(bytes);
}

std::optional<qsizetype> ScrivletDocument::decodeStrictUtf8(QByteArrayView bytes, char16_t *out)
{
    return decodeUtf8Into(bytes, out);
}

QString ScrivletDocument::textToDecodeInto(qsizetype units)
{
    return uninitializedText(units);
}

DocumentResult<QByteArray> ScrivletDocument::readBytes(const QString &path)
{
    return readRegularFile(path);
}

DocumentResult<ScrivletDocument> ScrivletDocument::read(const QString &path)
{
    const DocumentResult<QByteArray> bytes = readRegularFile(path);
    if (!bytes)
        return bytes.error();
    DocumentResult<QString> decoded = decodeText(*bytes);
    if (!decoded)
        return decoded.error();
    return ScrivletDocument(std::move(decoded).value());
}

DocumentResult<QString> ScrivletDocument::decodeText(QByteArrayView bytes)
{
    using Decoder = std::optional<QString> (*)(QByteArrayView);
    static constexpr std::array<Decoder, 5> decoders = {
        decodeUtf16WithByteOrderMark,
        decodeUtf8,
        LegacyEncodings::decodeLatin1,
        LegacyEncodings::decodeWindows1252,
        LegacyEncodings::decodeMacRoman,
    };
    for (const Decoder decode : decoders) {
        if (std::optional<QString> text = decode(bytes))
            return std::move(*text);
    }
    return DocumentError(DocumentError::fileReadUnknownStringEncoding);
}

QString ScrivletDocument::normalizeLineEndings(const QString &text)
{
    return text.contains(u'\r') ? normalizeWithCarriageReturns(text) : text;
}

DocumentResult<QByteArray> ScrivletDocument::encodeForSave(const QString &text)
{
    // Without a carriage return the text is already normalised: encode it in place.
    const bool hasCarriageReturn = text.contains(u'\r');
    const QString normalized = hasCarriageReturn ? normalizeWithCarriageReturns(text) : QString();
    if (std::optional<QByteArray> bytes
        = encodeUtf8Strict(hasCarriageReturn ? QStringView(normalized) : QStringView(text)))
        return std::move(*bytes);
    return DocumentError(DocumentError::fileWriteInapplicableStringEncoding);
}

std::optional<QByteArray> ScrivletDocument::encodeUtf8(QStringView text)
{
    return encodeUtf8Strict(text);
}

std::optional<DocumentError> ScrivletDocument::checkReadable(const QString &path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat info = {};
    if (const std::optional<DocumentError> error = statRegularFile(nativePath, info))
        return error;
    if (const DocumentResult<qint64> available = availableFor(info.st_size); !available)
        return available.error();
    if (::access(nativePath.constData(), R_OK) != 0)
        return errorFromErrno(errno);
    return std::nullopt;
}
