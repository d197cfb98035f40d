#include "ScrivletDocument.h"

#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <future>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

QByteArray byteRange(int first, int last, QByteArrayView skipped = {})
{
    QByteArray bytes;
    for (int byte = first; byte <= last; ++byte) {
        if (!skipped.contains(char(byte)))
            bytes.append(char(byte));
    }
    return bytes;
}

// The line-ending rules spelled out one code unit at a time, to check the block-wise kernel.
QString naiveNormalize(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i] == u'\r' ? u'\n' : text[i];
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    return out;
}

QString randomText(QRandomGenerator &random, int maxLength)
{
    static const QString pieces[] = {u"a"_s, u"\r"_s, u"\n"_s, u"\r\n"_s, u"é"_s, u"€"_s, u"😀"_s,
        u"\uFEFF"_s, QString(20, u'x')};
    QString text;
    const int length = random.bounded(maxLength + 1);
    while (text.size() < length)
        text += pieces[random.bounded(int(std::size(pieces)))];
    return text;
}

bool isC1Control(char byte)
{
    return (uchar(byte) & 0xE0) == 0x80;
}

} // namespace

class tst_ScrivletDocument : public QObject
{
    Q_OBJECT

public:
    enum class Item { folder, symlinkToFolder, fifo, device, missing, symlinkToFile };
    Q_ENUM(Item)

private slots:
    void decodeText_data();
    void decodeText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const DocumentResult<QString> text = ScrivletDocument::decodeText(bytes);
        QVERIFY(text);
        QCOMPARE(*text, expected);
    }

    void decodeRandomBytes();

    void normalizeLineEndings_data();
    void normalizeLineEndings()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ScrivletDocument::normalizeLineEndings(text), expected);
    }

    void normalizeAndSaveRandomText()
    {
        QRandomGenerator random(7);
        for (int round = 0; round < 3000; ++round) {
            const QString text = randomText(random, round % 2 ? 24 : 300);
            const QString expected = naiveNormalize(text);
            QCOMPARE(ScrivletDocument::normalizeLineEndings(text), expected);
            QCOMPARE(ScrivletDocument::encodeForSave(text).value(), expected.toUtf8());
        }
    }

    void encodeForSave_data();
    void encodeForSave()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        const DocumentResult<QByteArray> bytes = ScrivletDocument(text).fileContents();
        QVERIFY(bytes);
        QCOMPARE(*bytes, expected);
    }

    void saveRejectsLoneSurrogate_data();
    void saveRejectsLoneSurrogate()
    {
        QFETCH(QString, text);
        const DocumentResult<QByteArray> bytes = ScrivletDocument(text).fileContents();
        QVERIFY(!bytes);
        QCOMPARE(bytes.error().code, int(DocumentError::fileWriteInapplicableStringEncoding));
        QVERIFY(bytes.error().description.isEmpty());
        QVERIFY(!bytes.error().displayMessage().isEmpty());
    }

    void readAndSave_data();
    void readAndSave()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, text);
        QFETCH(QByteArray, saved);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(writeFile(path, onDisk));
        const DocumentResult<ScrivletDocument> document = ScrivletDocument::read(path);
        QVERIFY(document);
        QCOMPARE(document->text, text);
        QCOMPARE(document->fileContents().value(), saved);
    }

    void readItemsThatAreNotFiles_data();
    void readItemsThatAreNotFiles();

    void readUnreadableFile()
    {
        if (::geteuid() == 0)
            QSKIP("root can read any file");
        const QString path = m_dir.filePath(u"secret"_s);
        QVERIFY(writeFile(path, "x"_ba));
        QVERIFY(QFile::setPermissions(path, {}));
        const DocumentResult<ScrivletDocument> document = ScrivletDocument::read(path);
        QVERIFY(!document);
        QCOMPARE(document.error().code, int(DocumentError::fileReadNoPermission));
    }

private:
    QString createItem(Item item);

    QTemporaryDir m_dir;
};

void tst_ScrivletDocument::decodeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::addRow("empty file") << QByteArray() << QString();
    QTest::addRow("UTF-8 of every length")
        << "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"_ba << u"aé€😀"_s;
    QTest::addRow("U+10FFFF") << "\xf4\x8f\xbf\xbf"_ba << u"\U0010FFFF"_s;
    QTest::addRow("byte-order mark kept") << "\xef\xbb\xbfhi"_ba << u"\uFEFFhi"_s;
    QTest::addRow("UTF-16 LE with its mark")
        << "\xff\xfeh\0\xe9\0\x3d\xd8\x00\xde\r\0\n\0"_ba << u"hé😀\r\n"_s;
    QTest::addRow("UTF-16 BE with its mark")
        << "\xfe\xff\0h\0\xe9\xd8\x3d\xde\x00\0\n"_ba << u"hé😀\n"_s;
    QTest::addRow("UTF-16 mark alone") << "\xff\xfe"_ba << QString();
    QTest::addRow("UTF-16 LE mark then a UTF-8-looking text")
        << "\xff\xfe\xc3\xa9"_ba << u"\uA9C3"_s;
    QTest::addRow("UTF-16 with an odd byte count is no UTF-16")
        << "\xff\xfeh\0i"_ba << QStringView(u"ÿþh\0i", 5).toString();
    QTest::addRow("UTF-16 with an unpaired surrogate is no UTF-16")
        << "\xff\xfeh\0\x3d\xd8"_ba << QStringView(u"ÿþh\0=Ø", 6).toString();
    QTest::addRow("UTF-16 without a mark is no UTF-16")
        << "h\0i\0"_ba << QStringView(u"h\0i\0", 4).toString();
    QTest::addRow("NUL bytes kept") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
    QTest::addRow("CR and CR LF kept") << "a\r\nb\rc\n"_ba << u"a\r\nb\rc\n"_s;
    QTest::addRow("lone E9 via Latin 1") << "caf\xe9"_ba << u"café"_s;
    QTest::addRow("0x80 via Windows-1252") << "\x80"_ba << u"€"_s;
    QTest::addRow("curly quotes via Windows-1252") << "\x93x\x94"_ba << u"“x”"_s;
    QTest::addRow("0x81 via Mac OS Roman") << "\x81"_ba << u"Å"_s;
    QTest::addRow("Mac OS Roman euro and Apple logo") << "\x81\xdb\xf0"_ba << u"Å€\uF8FF"_s;
    QTest::addRow("overlong NUL") << "\xc0\x80"_ba << u"À€"_s;
    QTest::addRow("overlong three-byte form") << "\xe0\x80\x80"_ba << u"à€€"_s;
    QTest::addRow("overlong four-byte form") << "\xf0\x80\x80\x80"_ba << u"ð€€€"_s;
    QTest::addRow("surrogate in UTF-8") << "\xed\xa0\x80"_ba << u"í\u00A0€"_s;
    QTest::addRow("surrogate pair in UTF-8") << "\xed\xa0\xbd\xed\xb8\x80"_ba << u"í\u00A0½í¸€"_s;
    QTest::addRow("above U+10FFFF") << "\xf4\x90\x80\x80"_ba << u"ÙêÄÄ"_s;
    QTest::addRow("truncated in the middle") << "a\xe2\x82z"_ba << u"aâ‚z"_s;
    QTest::addRow("truncated at the end") << "\xc3\xa9\xc3"_ba << u"Ã©Ã"_s;
    QTest::addRow("every Windows-1252 C1 byte")
        << byteRange(0x80, 0x9f, "\x81\x8d\x8f\x90\x9d")
        << u"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u017D\u2018"
           u"\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u017E\u0178"_s;
    QTest::addRow("every Mac OS Roman upper byte")
        << byteRange(0x80, 0xff)
        << u"\u00C4\u00C5\u00C7\u00C9\u00D1\u00D6\u00DC\u00E1\u00E0\u00E2\u00E4\u00E3\u00E5\u00E7"
           u"\u00E9\u00E8\u00EA\u00EB\u00ED\u00EC\u00EE\u00EF\u00F1\u00F3\u00F2\u00F4\u00F6\u00F5"
           u"\u00FA\u00F9\u00FB\u00FC\u2020\u00B0\u00A2\u00A3\u00A7\u2022\u00B6\u00DF\u00AE\u00A9"
           u"\u2122\u00B4\u00A8\u2260\u00C6\u00D8\u221E\u00B1\u2264\u2265\u00A5\u00B5\u2202\u2211"
           u"\u220F\u03C0\u222B\u00AA\u00BA\u03A9\u00E6\u00F8\u00BF\u00A1\u00AC\u221A\u0192\u2248"
           u"\u2206\u00AB\u00BB\u2026\u00A0\u00C0\u00C3\u00D5\u0152\u0153\u2013\u2014\u201C\u201D"
           u"\u2018\u2019\u00F7\u25CA\u00FF\u0178\u2044\u20AC\u2039\u203A\uFB01\uFB02\u2021\u00B7"
           u"\u201A\u201E\u2030\u00C2\u00CA\u00C1\u00CB\u00C8\u00CD\u00CE\u00CF\u00CC\u00D3\u00D4"
           u"\uF8FF\u00D2\u00DA\u00DB\u00D9\u0131\u02C6\u02DC\u00AF\u02D8\u02D9\u02DA\u00B8\u02DD"
           u"\u02DB\u02C7"_s;

    const QByteArray line = "x\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"_ba.repeated(1 << 20);
    QTest::addRow("10 MB single line") << line << QString::fromUtf8(line);
    const QByteArray latin1 = "caf\xc3\xa9 "_ba.repeated(1 << 21) + "\xe9";
    QTest::addRow("12 MB line, lone E9 at the end") << latin1 << QString::fromLatin1(latin1);
    // Non-ASCII runs longer than the decoder takes at once; the prefixes move where it cuts them.
    const QByteArray run = "\xf0\x9f\x98\x80\xe2\x82\xac"_ba.repeated(450'000);
    for (const char *prefix : {"", "\xc3\xa9", "\xe2\x82\xac", "\xc3\xa9\xe2\x82\xac"}) {
        QTest::addRow("3 MB non-ASCII run after %d bytes", int(qstrlen(prefix)))
            << prefix + run << QString::fromUtf8(prefix + run);
    }
}

void tst_ScrivletDocument::decodeRandomBytes()
{
    QRandomGenerator random(20240611);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes(random.bounded(48), Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(random.bounded(2) ? random.bounded(0x80, 0x100) : random.bounded(0x80));
        const DocumentResult<QString> text = ScrivletDocument::decodeText(bytes);
        QVERIFY(text);
        QStringDecoder utf8(QStringDecoder::Utf8,
            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString asUtf8 = utf8(bytes);
        QStringDecoder utf16(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless);
        const QString asUtf16 = utf16(bytes);
        const bool markedUtf16 = (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff"))
            && bytes.size() % 2 == 0 && QStringView(asUtf16).isValidUtf16();
        if (markedUtf16) {
            QCOMPARE(*text, asUtf16);
        } else if (!utf8.hasError()) {
            QCOMPARE(*text, asUtf8);
        } else if (std::none_of(bytes.cbegin(), bytes.cend(), isC1Control)) {
            QCOMPARE(*text, QString::fromLatin1(bytes));
        } else {
            // Windows-1252 or Mac OS Roman: a character per byte, ASCII unchanged.
            QCOMPARE(text->size(), bytes.size());
            for (qsizetype i = 0; i < bytes.size(); ++i)
                QVERIFY(uchar(bytes[i]) >= 0x80 || text->at(i) == QLatin1Char(bytes[i]));
        }
    }
}

void tst_ScrivletDocument::normalizeLineEndings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("empty") << QString() << QString();
    QTest::addRow("CR LF, CR and final LF") << u"a\r\nb\rc\n"_s << u"a\nb\nc\n"_s;
    QTest::addRow("two final LFs kept") << u"x\n\n"_s << u"x\n\n"_s;
    QTest::addRow("a single LF") << u"\n"_s << u"\n"_s;
    QTest::addRow("final CR LF") << u"a\r\n"_s << u"a\n"_s;
    QTest::addRow("final lone CR") << u"a\r"_s << u"a\n"_s;
    QTest::addRow("CR CR LF") << u"\r\r\n"_s << u"\n\n"_s;
    QTest::addRow("LF CR is two breaks") << u"a\n\rb"_s << u"a\n\nb"_s;
    QTest::addRow("CR LF across a block edge")
        << QString(15, u'x') + u"\r\ny\r"_s << QString(15, u'x') + u"\ny\n"_s;
}

void tst_ScrivletDocument::encodeForSave_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("empty document") << QString() << QByteArray();
    QTest::addRow("line endings normalised") << u"a\r\nb\rc\n"_s << "a\nb\nc\n"_ba;
    QTest::addRow("final LF kept") << u"a\n"_s << "a\n"_ba;
    QTest::addRow("only a line feed") << u"\n"_s << "\n"_ba;
    QTest::addRow("no final LF added") << u"a"_s << "a"_ba;
    QTest::addRow("byte-order mark kept") << u"\uFEFFhi\n"_s << "\xef\xbb\xbfhi\n"_ba;
    QTest::addRow("NUL kept") << QStringView(u"a\0b", 3).toString() << QByteArray("a\0b", 3);
    QTest::addRow("UTF-8 of every length")
        << u"é€😀\U0010FFFF"_s << "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"_ba;
    // Runs longer than the encoder takes at once; the prefix puts a pair across the cut.
    const QString pairs = u"😀"_s.repeated(1 << 20);
    QTest::addRow("4 MB of pairs") << pairs << pairs.toUtf8();
    QTest::addRow("4 MB of pairs after a BMP character")
        << u"€"_s + pairs << (u"€"_s + pairs).toUtf8();
}

void tst_ScrivletDocument::saveRejectsLoneSurrogate_data()
{
    QTest::addColumn<QString>("text");

    QTest::addRow("lone high surrogate") << u"a"_s + QChar(0xD83D) + u"b"_s;
    QTest::addRow("lone low surrogate") << u"a"_s + QChar(0xDE00);
    QTest::addRow("high surrogate at the end") << u"é"_s + QChar(0xD83D);
    QTest::addRow("reversed pair after a block")
        << QString(40, u'x') + QChar(0xDE00) + QChar(0xD83D);
    QTest::addRow("lone surrogate after 4 MB") << u"😀"_s.repeated(1 << 20) + QChar(0xD83D);
}

void tst_ScrivletDocument::readAndSave_data()
{
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("saved");

    QTest::addRow("empty file") << QByteArray() << QString() << QByteArray();
    QTest::addRow("CR LF kept until saved") << "a\r\nb\r\n"_ba << u"a\r\nb\r\n"_s << "a\nb\n"_ba;
    QTest::addRow("final LF saved back") << "a\n"_ba << u"a\n"_s << "a\n"_ba;
    QTest::addRow("blank last lines saved back") << "a\n\n\n"_ba << u"a\n\n\n"_s << "a\n\n\n"_ba;
    QTest::addRow("byte-order mark survives")
        << "\xef\xbb\xbfhi"_ba << u"\uFEFFhi"_s << "\xef\xbb\xbfhi"_ba;
    QTest::addRow("Windows-1252 saved as UTF-8")
        << "\x93q\x94\n"_ba << u"“q”\n"_s << "\xe2\x80\x9cq\xe2\x80\x9d\n"_ba;
    QTest::addRow("Latin 1 saved as UTF-8") << "\xe9t\xe9"_ba << u"été"_s << "\xc3\xa9t\xc3\xa9"_ba;
    QTest::addRow("UTF-16 LE saved as UTF-8, without the mark")
        << "\xff\xfe\xe9\0\r\0\n\0"_ba << u"é\r\n"_s << "\xc3\xa9\n"_ba;
    QTest::addRow("UTF-16 BE saved as UTF-8, without the mark")
        << "\xfe\xff\0a\x20\xac"_ba << u"a€"_s << "a\xe2\x82\xac"_ba;
}

QString tst_ScrivletDocument::createItem(Item item)
{
    const QString path = m_dir.filePath(QVariant::fromValue(item).toString());
    const QByteArray native = QFile::encodeName(path);
    const QString folder = m_dir.filePath(u"folder"_s);
    const QString target = path + u".target"_s;
    const bool created = [&] {
        switch (item) {
        case Item::folder:
            return QDir().mkpath(folder);
        case Item::symlinkToFolder:
            return QDir().mkpath(folder) && QFile::link(folder, path);
        case Item::fifo:
            return ::mkfifo(native.constData(), 0600) == 0;
        case Item::device:
        case Item::missing:
            return true;
        case Item::symlinkToFile:
            return writeFile(target, "linked"_ba) && QFile::link(target, path);
        }
        return false;
    }();
    return !created ? QString() : item == Item::device ? u"/dev/null"_s : path;
}

void tst_ScrivletDocument::readItemsThatAreNotFiles_data()
{
    QTest::addColumn<Item>("item");
    QTest::addColumn<int>("errorCode");

    const int notAFile = DocumentError::fileReadCorruptFile;
    QTest::addRow("folder") << Item::folder << notAFile;
    QTest::addRow("symlink to a folder") << Item::symlinkToFolder << notAFile;
    QTest::addRow("FIFO without a writer") << Item::fifo << notAFile;
    QTest::addRow("character device") << Item::device << notAFile;
    QTest::addRow("missing file") << Item::missing << int(DocumentError::fileReadUnknown);
    QTest::addRow("symlink to a file reads the file") << Item::symlinkToFile << 0;
}

void tst_ScrivletDocument::readItemsThatAreNotFiles()
{
    QFETCH(Item, item);
    QFETCH(int, errorCode);
    const QString path = createItem(item);
    QVERIFY(!path.isEmpty());
    auto reading = std::async(std::launch::async, [path] { return ScrivletDocument::read(path); });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Give a reader stuck on the FIFO a writer, so that the test can end.
        ::close(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK));
        QFAIL("reading blocked");
    }
    const DocumentResult<ScrivletDocument> document = reading.get();
    QCOMPARE(document ? 0 : document.error().code, errorCode);
    if (errorCode == 0)
        QCOMPARE(document->text, u"linked"_s);
    else if (errorCode == DocumentError::fileReadCorruptFile)
        QCOMPARE(document.error().description, u"The file does not contain readable content."_s);
    else
        QVERIFY(!document.error().detail.isEmpty());
}

SCRIVLET_TEST_MAIN(tst_ScrivletDocument)
#include "tst_ScrivletDocument.moc"
