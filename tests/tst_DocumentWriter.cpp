#include "DocumentWriter.h"
#include "SaveEncoder.h"
#include "ScrivletDocument.h"
#include "TestEnvironment.h"
#include "TextAccess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

using namespace Qt::StringLiterals;

class TestDocumentWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void piecesEncodeLikeTheWholeText();
    void encodesGivenPieces_data();
    void encodesGivenPieces();
    void savesAtomically_data();
    void savesAtomically();
    void keepsPermissions();
    void writesThroughSymlinks();
    void readOnlyFolderFailsCleanly();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    static QByteArray contents(const QString &path);

    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestDocumentWriter::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
}

QString TestDocumentWriter::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_folder->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

QByteArray TestDocumentWriter::contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Cut anywhere (but inside a surrogate pair), the pieces give the same bytes as the whole text:
// CR LF split over two pieces, final line feeds, pieces of nothing but line breaks.
void TestDocumentWriter::piecesEncodeLikeTheWholeText()
{
    const QStringList pieces
        = {u"a"_s, u"b"_s, u"\r"_s, u"\n"_s, u"\r\n"_s, u"\u00e9"_s, u"\U0001F600"_s, u" "_s};
    QRandomGenerator random(20261207);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = random.bounded(12); i > 0; --i)
            text += pieces.at(random.bounded(pieces.size()));
        SaveEncoder encoder;
        QByteArray encoded;
        for (qsizetype at = 0; at < text.size();) {
            qsizetype count = 1 + random.bounded(4);
            if (at + count < text.size() && text.at(at + count - 1).isHighSurrogate())
                ++count;
            count = std::min(count, text.size() - at);
            const DocumentResult<QByteArray> bytes
                = encoder.encode(QStringView(text).mid(at, count));
            QVERIFY(bytes.hasValue());
            encoded += *bytes;
            at += count;
        }
        QCOMPARE(encoded, ScrivletDocument::encodeForSave(text).value());
    }
}

void TestDocumentWriter::encodesGivenPieces_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("CR LF split over two pieces") << QStringList {u"a\r"_s, u"\nb"_s} << "a\nb"_ba;
    // Found by fuzzing: the empty piece made the LF after it count as a line break of its own.
    QTest::addRow("CR, an empty piece, then LF")
        << QStringList {u"a\r"_s, QString(), u"\nb"_s} << "a\nb"_ba;
    QTest::addRow("final LFs over an empty piece")
        << QStringList {u"a\n"_s, QString(), u"\n"_s} << "a\n\n"_ba;
    QTest::addRow("final CR of the last piece") << QStringList {u"a"_s, u"\r"_s} << "a\n"_ba;
    QTest::addRow("empty pieces only") << QStringList {QString(), QString()} << QByteArray();
}

// Pieces as a caller may hand them over, empty ones too, give the bytes of the whole text.
void TestDocumentWriter::encodesGivenPieces()
{
    QFETCH(QStringList, pieces);
    SaveEncoder encoder;
    QByteArray encoded;
    for (const QString &piece : std::as_const(pieces)) {
        const DocumentResult<QByteArray> bytes = encoder.encode(piece);
        QVERIFY(bytes.hasValue());
        encoded += *bytes;
    }
    QTEST(encoded, "bytes");
    QCOMPARE(encoded, ScrivletDocument::encodeForSave(pieces.join(QString())).value());
}

void TestDocumentWriter::savesAtomically_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("shortWriteAt"); // -1: every write completes
    QTest::addColumn<bool>("replaceWithFolder");
    QTest::addColumn<int>("expectedError"); // 0: saved

    QTest::addRow("ordinary save") << u"new\r\ntext\n"_s << -1 << false << 0;
    QTest::addRow("full disk: a write comes up short")
        << u"new text"_s << 3 << false << int(DocumentError::fileWriteOutOfSpace);
    QTest::addRow("full disk on an empty write") << QString() << 0 << false << 0;
    QTest::addRow("unpaired surrogate") << (u"bad "_s + QChar(0xD800)) << -1 << false
                                        << int(DocumentError::fileWriteInapplicableStringEncoding);
    QTest::addRow("a folder took the file's place")
        << u"new"_s << -1 << true << int(DocumentError::fileWriteUnknown);
}

void TestDocumentWriter::savesAtomically()
{
    QFETCH(QString, text);
    QFETCH(int, shortWriteAt);
    QFETCH(bool, replaceWithFolder);
    QFETCH(int, expectedError);

    const QByteArray original = "original bytes\n";
    const QString path = writeFile(u"doc.txt"_s, original);
    if (replaceWithFolder) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    }
    const DocumentWriter writer([shortWriteAt](QIODevice &device, QByteArrayView bytes) -> qint64 {
        const qsizetype count
            = shortWriteAt >= 0 ? std::min<qsizetype>(shortWriteAt, bytes.size()) : bytes.size();
        return device.write(bytes.data(), count);
    });
    const DocumentResult<FileStamp> result = writer.save(StringTextAccess(text), path);

    if (expectedError == 0) {
        QVERIFY2(
            result.hasValue(), qPrintable(result.hasValue() ? QString() : result.error().detail));
        QCOMPARE(contents(path), ScrivletDocument::encodeForSave(text).value());
        QCOMPARE(*result, FileStamp::of(path));
    } else {
        QVERIFY(!result.hasValue());
        QCOMPARE(result.error().code, expectedError);
        QVERIFY(!result.error().displayMessage().isEmpty());
        if (!replaceWithFolder)
            QCOMPARE(contents(path), original);
    }
    // Nothing is left behind beside the file, whatever happened.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
        QStringList {u"doc.txt"_s});
}

void TestDocumentWriter::keepsPermissions()
{
    const QString path = writeFile(u"script.txt"_s, "old");
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
        | QFile::ReadGroup | QFile::ExeGroup;
    QVERIFY(QFile::setPermissions(path, permissions));
    QVERIFY(DocumentWriter().save(StringTextAccess(u"new"_s), path).hasValue());
    QCOMPARE(QFile::permissions(path) & 0x7077, permissions);
    QCOMPARE(contents(path), "new");
}

void TestDocumentWriter::writesThroughSymlinks()
{
    QVERIFY(QDir(m_folder->path()).mkdir(u"real"_s));
    const QString target = writeFile(u"real/target.txt"_s, "old");
    const QString link = m_folder->filePath(u"link.txt"_s);
    QVERIFY(QFile::link(u"real/target.txt"_s, link));
    const QString dangling = m_folder->filePath(u"dangling.txt"_s);
    QVERIFY(QFile::link(u"real/later.txt"_s, dangling));

    QVERIFY(DocumentWriter().save(StringTextAccess(u"through"_s), link).hasValue());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(contents(target), "through");

    QVERIFY(DocumentWriter().save(StringTextAccess(u"created"_s), dangling).hasValue());
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(contents(m_folder->filePath(u"real/later.txt"_s)), "created");
}

void TestDocumentWriter::readOnlyFolderFailsCleanly()
{
    if (::geteuid() == 0)
        QSKIP("permissions do not stop root");
    const QString path = writeFile(u"locked.txt"_s, "kept");
    QVERIFY(QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner));
    const DocumentResult<FileStamp> result = DocumentWriter().save(StringTextAccess(u"x"_s), path);
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!result.hasValue());
    QCOMPARE(result.error().code, int(DocumentError::fileWriteNoPermission));
    QCOMPARE(contents(path), "kept");
}

SCRIVLET_TEST_MAIN(TestDocumentWriter)
#include "tst_DocumentWriter.moc"
