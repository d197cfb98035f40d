#include "TextLoader.h"

#include "LegacyEncodings.h"
#include "MemoryBudget.h"
#include "ScrivletDocument.h"
#include "TextDocument.h"

#include <QScopeGuard>
#include <QThread>

#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

#include <unistd.h>

struct TextLoader::Block
{
    QString text;
    // The text of the whole file, to replace the blocks given before.
    bool replacesAll = false;
    bool hasNul = false;
    bool changesBytes = false;
    qint64 done = 0;
    qint64 total = 0;
};

struct TextLoader::Shared
{
    std::atomic<bool> cancelled = false;
    // Set by the worker before it ends.
    std::optional<DocumentError> error;
};

namespace {

bool isUtf8Continuation(char byte)
{
    return (uchar(byte) & 0xC0) == 0x80;
}

// Where `bytes` may be cut so that no UTF-8 sequence is split: before the last sequence when
// the bytes end inside it. Malformed bytes may be cut anywhere; they fail to decode either way.
qsizetype characterBoundary(QByteArrayView bytes)
{
    qsizetype lead = bytes.size();
    while (lead > 0 && bytes.size() - lead < 4 && isUtf8Continuation(bytes[lead - 1]))
        --lead;
    if (lead == 0)
        return bytes.size();
    --lead;
    const auto first = uchar(bytes[lead]);
    const qsizetype needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    return bytes.size() - lead >= needed ? bytes.size() : lead;
}

bool startsWithUtf16ByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

// Reads until `buffer` holds `wanted` bytes past `from` or the file ends; the bytes read.
DocumentResult<qsizetype> readUpTo(int fd, QByteArray &buffer, qsizetype from, qsizetype wanted)
{
    buffer.resize(from + wanted);
    qsizetype filled = 0;
    while (filled < wanted) {
        const ssize_t count = ::read(fd, buffer.data() + from + filled, size_t(wanted - filled));
        if (count == 0)
            break;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return ScrivletDocument::readError(errno);
        filled += count;
    }
    buffer.resize(from + filled);
    return filled;
}

// The decoded text as it goes to the document: the line breaks made LF when asked, a CR LF cut
// between two blocks included, and whether saving the text unedited would write other bytes
// than the file's (another encoding, other line breaks).
class BlockSink
{
public:
    using Give = std::function<void(
        QString text, bool replacesAll, bool changesBytes, qint64 done, qint64 total)>;

    BlockSink(TextLoader::LineBreaks lineBreaks, Give give)
        : m_lineFeedsOnly(lineBreaks == TextLoader::LineBreaks::LineFeeds)
        , m_give(std::move(give))
    { }

    void operator()(QString text, bool replacesAll, bool decodedAsUtf8, qint64 done, qint64 total)
    {
        if (replacesAll)
            m_afterCarriageReturn = false;
        const bool startsWithLineFeed = text.startsWith(u'\n');
        const bool hasCarriageReturn = text.contains(u'\r');
        if (m_lineFeedsOnly) {
            // The LF of a CR LF whose CR ended the block before, which already became an LF.
            if (m_afterCarriageReturn && startsWithLineFeed)
                text.remove(0, 1);
            m_afterCarriageReturn = text.endsWith(u'\r');
            if (hasCarriageReturn)
                text = ScrivletDocument::normalizeLineEndings(text);
        }
        if (text.isEmpty() && !replacesAll)
            return;
        m_give(std::move(text), replacesAll, !decodedAsUtf8 || hasCarriageReturn, done, total);
    }

private:
    const bool m_lineFeedsOnly;
    Give m_give;
    bool m_afterCarriageReturn = false;
};

// The whole file decoded as ScrivletDocument reads it, for text that is not UTF-8 throughout.
std::optional<DocumentError> decodeWhole(const QString &path, BlockSink &give)
{
    qint64 size = 0;
    DocumentResult<QString> text = [&]() -> DocumentResult<QString> {
        // The bytes go before the text is handed on, so the two are never held with a copy.
        const DocumentResult<QByteArray> bytes = ScrivletDocument::readBytes(path);
        if (!bytes)
            return bytes.error();
        size = bytes->size();
        return ScrivletDocument::decodeText(*bytes);
    }();
    if (!text)
        return text.error();
    give(std::move(text).value(), true, false, size, size);
    return std::nullopt;
}

using LegacyDecoder = std::optional<QString> (*)(QByteArrayView);

constexpr std::array<LegacyDecoder, 3> legacyDecoders = {
    LegacyEncodings::decodeLatin1,
    LegacyEncodings::decodeWindows1252,
    LegacyEncodings::decodeMacRoman,
};

// Calls `each` with the file's bytes from its start, a block at a time, until it returns false.
std::optional<DocumentError> forEachBlock(
    int fd, const std::atomic<bool> &cancelled, const std::function<bool(QByteArrayView)> &each)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return ScrivletDocument::readError(errno);
    QByteArray buffer;
    while (!cancelled) {
        const DocumentResult<qsizetype> read = readUpTo(fd, buffer, 0, TextLoader::blockBytes);
        if (!read)
            return read.error();
        if (*read == 0 || !each(buffer))
            break;
    }
    return std::nullopt;
}

// The single-byte fallbacks decode byte by byte, so they too go a block at a time once a first
// pass has found the first of them that takes every byte: the text shown so far is replaced
// without ever holding the file's bytes and its text whole at once.
std::optional<DocumentError> decodeLegacyInBlocks(const QString &path,
    const ScrivletDocument::OpenFile &file, const std::atomic<bool> &cancelled, BlockSink &give)
{
    const qint64 sizeLimit = std::max(MemoryBudget::largestFileFor(file.available), file.size);
    std::size_t chosen = 0;
    qint64 done = 0;
    if (auto error = forEachBlock(file.descriptor, cancelled, [&](QByteArrayView block) {
            while (!legacyDecoders[chosen](block))
                ++chosen;
            done += block.size();
            return done <= sizeLimit;
        }))
        return error;
    if (done > sizeLimit)
        return ScrivletDocument::tooLargeError(done, file.available);
    done = 0;
    bool changedMeanwhile = false;
    if (auto error = forEachBlock(file.descriptor, cancelled, [&](QByteArrayView block) {
            std::optional<QString> text = legacyDecoders[chosen](block);
            changedMeanwhile = !text;
            if (changedMeanwhile)
                return false;
            done += block.size();
            give(std::move(*text), done == block.size(), false, done, std::max(done, file.size));
            return true;
        }))
        return error;
    if (changedMeanwhile)
        return decodeWhole(path, give);
    if (done == 0)
        give(QString(), true, false, 0, 0);
    return std::nullopt;
}

// Memory may have gone to another program, or to another file opening at the same time, since
// the file was judged when it was opened: it is judged again before each block, counting what
// this load already holds (about two bytes per byte read) as its own.
std::optional<DocumentError> checkStillFits(qint64 size, qint64 done)
{
    const qint64 available = MemoryBudget::availableBytes() + 2 * done;
    if (MemoryBudget::bytesToOpen(size) > available)
        return ScrivletDocument::tooLargeError(size, available);
    return std::nullopt;
}

// UTF-8 decoded a chunk at a time straight into the block of text being filled, which goes to
// the document once it is full: besides the text, a load holds one chunk of bytes. The first
// block is one chunk, so that the first screenful shows at once; a block is sized to what is
// left of the file, up to blockBytes units, so that the last one needs no shrinking.
class Utf8Blocks
{
public:
    Utf8Blocks(qint64 fileSize, BlockSink &give)
        : m_fileSize(fileSize)
        , m_give(give)
    { }

    // Whether the next read may start a block, which is when memory is judged again.
    bool startsBlock() const { return m_block.size() - m_filled < TextLoader::readBytes; }
    // Decodes `bytes`, a chunk cut where a character ends, at most readBytes of them; false
    // when they are no UTF-8.
    bool decode(QByteArrayView bytes)
    {
        if (bytes.isEmpty())
            return true;
        if (m_block.size() - m_filled < bytes.size()) {
            giveBlock();
            const qint64 left = std::max<qint64>(m_fileSize - m_decoded, 0);
            const qint64 largest
                = m_decoded == 0 ? TextLoader::firstBlockBytes : TextLoader::blockBytes;
            m_block = ScrivletDocument::textToDecodeInto(
                std::max(bytes.size(), qsizetype(std::min(left, largest))));
        }
        const std::optional<qsizetype> units = ScrivletDocument::decodeStrictUtf8(
            bytes, reinterpret_cast<char16_t *>(m_block.data()) + m_filled);
        if (!units) {
            m_block = QString();
            m_filled = 0;
            return false;
        }
        m_filled += *units;
        m_decoded += bytes.size();
        // A full block goes at once, not when the next chunk has been read.
        if (m_filled == m_block.size())
            giveBlock();
        return true;
    }

    // Gives what the last block holds.
    void finish() { giveBlock(); }

private:
    void giveBlock()
    {
        if (m_filled == 0)
            return;
        m_block.resize(m_filled);
        m_give(std::exchange(m_block, QString()), false, true, m_decoded,
            std::max(m_decoded, m_fileSize));
        m_filled = 0;
    }

    const qint64 m_fileSize;
    BlockSink &m_give;
    QString m_block;
    qsizetype m_filled = 0;
    qint64 m_decoded = 0;
};

std::optional<DocumentError> readInBlocks(
    const QString &path, const std::atomic<bool> &cancelled, BlockSink &give)
{
    const DocumentResult<ScrivletDocument::OpenFile> file = ScrivletDocument::openForReading(path);
    if (!file)
        return file.error();
    const auto closeFile = qScopeGuard([fd = file->descriptor] { ::close(fd); });
    const qint64 sizeLimit = std::max(MemoryBudget::largestFileFor(file->available), file->size);
    Utf8Blocks blocks(file->size, give);
    QByteArray buffer;
    qsizetype carried = 0;
    qint64 done = 0;
    while (!cancelled) {
        if (done > 0 && blocks.startsBlock()) {
            if (auto error = checkStillFits(std::max(file->size, done), done))
                return error;
        }
        const qsizetype wanted = TextLoader::readBytes - carried;
        const DocumentResult<qsizetype> read = readUpTo(file->descriptor, buffer, carried, wanted);
        if (!read)
            return read.error();
        if (done == 0 && startsWithUtf16ByteOrderMark(buffer))
            return decodeWhole(path, give);
        done += *read;
        if (done > sizeLimit)
            return ScrivletDocument::tooLargeError(done, file->available);
        const bool atEnd = *read < wanted;
        const qsizetype cut = atEnd ? buffer.size() : characterBoundary(buffer);
        if (!blocks.decode(QByteArrayView(buffer).first(cut))) {
            buffer = QByteArray();
            return decodeLegacyInBlocks(path, *file, cancelled, give);
        }
        if (atEnd)
            break;
        // Moved by hand: QByteArray::remove() would leave the room at the front, and the next
        // read would then need a second buffer.
        carried = buffer.size() - cut;
        std::memmove(buffer.data(), buffer.constData() + cut, std::size_t(carried));
    }
    if (!cancelled)
        blocks.finish();
    return std::nullopt;
}

} // namespace

TextLoader::TextLoader(TextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{ }

TextLoader::~TextLoader()
{
    if (m_reader) {
        m_shared->cancelled = true;
        m_reader->wait();
        delete m_reader;
    }
}

void TextLoader::load(const QString &path)
{
    if (m_reader) {
        // Its last blocks and its end are ignored: they belong to another Shared.
        m_shared->cancelled = true;
        m_reader->wait();
        m_reader = nullptr;
    }
    m_loading = true;
    m_shownFirst = false;
    m_containsNul = false;
    m_savingChangesBytes = false;
    if (m_document)
        m_document->setText(QString());
    auto shared = std::make_shared<Shared>();
    m_shared = shared;
    auto give = [this, shared](
                    QString text, bool replacesAll, bool changesBytes, qint64 done, qint64 total) {
        Block block {std::move(text), replacesAll, false, changesBytes, done, total};
        block.hasNul = block.text.contains(QChar(u'\0'));
        QMetaObject::invokeMethod(
            this,
            [this, shared, block = std::move(block)]() mutable {
                if (shared == m_shared)
                    take(std::move(block));
            },
            Qt::QueuedConnection);
    };
    QThread *reader
        = QThread::create([path, shared, sink = BlockSink(m_lineBreaks, give)]() mutable {
              shared->error = readInBlocks(path, shared->cancelled, sink);
          });
    connect(reader, &QThread::finished, this, [this, shared, reader] {
        reader->deleteLater();
        if (shared == m_shared)
            end();
    });
    m_reader = reader;
    m_reader->start();
}

void TextLoader::cancel()
{
    if (m_shared)
        m_shared->cancelled = true;
}

void TextLoader::take(Block block)
{
    if (!m_loading || m_shared->cancelled || !m_document)
        return;
    if (block.replacesAll) {
        m_document->setText(std::move(block.text));
        m_containsNul = false;
        m_savingChangesBytes = false;
    } else {
        m_document->appendLoadedText(std::move(block.text));
    }
    m_containsNul = m_containsNul || block.hasNul;
    m_savingChangesBytes = m_savingChangesBytes || block.changesBytes;
    if (!std::exchange(m_shownFirst, true))
        emit firstBlockLoaded();
    emit progress(block.done, block.total);
}

void TextLoader::end()
{
    m_reader = nullptr;
    m_loading = false;
    if (m_shared->cancelled) {
        emit cancelled();
    } else if (m_shared->error) {
        if (m_document)
            m_document->setText(QString());
        emit failed(*m_shared->error);
    } else {
        emit finished();
    }
}
