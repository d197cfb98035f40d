#include "SettingsFileFormat.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRect>
#include <QSettings>
#include <QTemporaryDir>

using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

// A stored value in QDataStream's Qt 4.0 layout, as the text after "@Variant(".
QByteArray escapedBytes(const QByteArray &bytes)
{
    QByteArray text;
    for (const char ch : bytes)
        text += "\\x" + QByteArray::number(uchar(ch), 16).rightJustified(2, '0');
    return text;
}

} // namespace

class TestSettingsFileFormat : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readsWhatQtWrites_data();
    void readsWhatQtWrites();
    void ignoresValuesThatCannotBeTrusted_data();
    void ignoresValuesThatCannotBeTrusted();
    void writesWhatQtReads();
    void fileThatCouldNotBeReadIsNotWrittenOver();
    void fileReadInPartIsKeptBeforeItIsWrittenOver_data();
    void fileReadInPartIsKeptBeforeItIsWrittenOver();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_path;
};

void TestSettingsFileFormat::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_path = m_folder->filePath(u"settings.conf"_qs);
}

void TestSettingsFileFormat::readsWhatQtWrites_data()
{
    QTest::addColumn<QVariant>("value");
    const QByteArray record("SBK1\0\0\x01@Variant(\0\x7f/home", 24);
    QTest::addRow("one folder: a list of one record") << QVariant(QVariantList {record});
    QTest::addRow("two records") << QVariant(QVariantList {record, QByteArray("x")});
    QTest::addRow("record naming a prefix") << QVariant(QByteArray("@Variant(\x01\x02)"));
    QTest::addRow("text that is a prefix") << QVariant(u"@Variant(\0\0\0\x09)"_qs);
    QTest::addRow("text holding a prefix") << QVariant(u"a@Variant(b), @DateTime(c)"_qs);
    QTest::addRow("text starting with @@") << QVariant(u"@@Variant(x)"_qs);
    QTest::addRow("list of one prefix text") << QVariant(QStringList {u"@Variant(x)"_qs});
    QTest::addRow("list of prefix texts")
        << QVariant(QStringList {u"@Variant(x)"_qs, u"q\"@Variant(\"y"_qs, u"plain"_qs});
    QTest::addRow("list of one number") << QVariant(QVariantList {42});
    QTest::addRow("list of one text list")
        << QVariant(QVariantList {QStringList {u"a"_qs, u"@Variant(b)"_qs}});
    QTest::addRow("plain text") << QVariant(u"Untitled.txt"_qs);
    QTest::addRow("rectangle") << QVariant(QRect(1, 2, 3, 4));
}

// A file QSettings::IniFormat wrote reads the same through the screened format.
void TestSettingsFileFormat::readsWhatQtWrites()
{
    QFETCH(QVariant, value);
    {
        QSettings written(m_path, QSettings::IniFormat);
        written.setValue(u"section/key"_qs, value);
        written.setValue(u"other"_qs, u"kept"_qs);
        written.setValue(u"@Variant(key)"_qs, u"@Variant(value)"_qs);
    }
    const QVariant expected = QSettings(m_path, QSettings::IniFormat).value(u"section/key"_qs);
    QSettings screened(m_path, SettingsFileFormat::ini());
    QCOMPARE(screened.value(u"section/key"_qs), expected);
    QCOMPARE(screened.value(u"other"_qs), QVariant(u"kept"_qs));
    // Read whole: writing over it keeps no copy.
    QCOMPARE(screened.value(u"@Variant(key)"_qs), QVariant(u"@Variant(value)"_qs));
    screened.setValue(u"@added"_qs, 1);
    screened.sync();
    QCOMPARE(screened.status(), QSettings::NoError);
    QVERIFY(!QFile::exists(m_path + u".unreadable"_qs));
}

void TestSettingsFileFormat::ignoresValuesThatCannotBeTrusted_data()
{
    QTest::addColumn<QByteArray>("line");
    // Found by fuzzing: Qt read the letters after the type as the list's length (1.7 billion).
    QTest::addRow("corrupt list length")
        << QByteArray("key=@Variant(\\0\\0\\0\\tensions=@Invalid()");
    QTest::addRow("list longer than its bytes")
        << "key=@Variant(" + escapedBytes(QByteArray("\0\0\0\x09\xff\xff\xff\xff", 8)) + ")";
    QTest::addRow("written with escapes")
        << QByteArray("key=\\x40Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)");
    QTest::addRow("written in octal")
        << QByteArray("key=\\100Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
    QTest::addRow("escape that overflows to @")
        << QByteArray("key=\\x10040Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
    QTest::addRow("quoted in pieces")
        << QByteArray("key=\"@Var\"  \"iant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)\"");
    QTest::addRow("second element of a list")
        << QByteArray("key=a, @Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
    QTest::addRow("continued line")
        << QByteArray("key=@\\\nVariant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
    QTest::addRow("a widget type (needs an application)")
        << "key=@Variant(" + escapedBytes(QByteArray("\0\0\0\x41\0\0\0\0", 8)) + ")";
    QTest::addRow("a date") << QByteArray("key=@DateTime(\\0\\0\\0\\x10\\0\\0%\\x80\\x1\\0\\0\\0)");
    QTest::addRow("lists nested too deep") << "key=@Variant("
            + escapedBytes(QByteArray("\0\0\0\x09\0\0\0\x01", 8).repeated(40)
                + QByteArray("\0\0\0\x02\0\0\0\x05", 8))
            + ")";
}

// Values QSettings would decode with QDataStream, trusting the lengths in them, read as unset;
// the rest of the file is read as usual, and writing keeps the file whole.
void TestSettingsFileFormat::ignoresValuesThatCannotBeTrusted()
{
    QFETCH(QByteArray, line);
    QVERIFY(writeFile(m_path, "[General]\nbefore=1\n" + line + "\nafter=2\n"));
    QSettings screened(m_path, SettingsFileFormat::ini());
    QVERIFY(!screened.contains(u"key"_qs));
    QCOMPARE(screened.value(u"before"_qs), QVariant(u"1"_qs));
    QCOMPARE(screened.value(u"after"_qs), QVariant(u"2"_qs));
    screened.setValue(u"added"_qs, 3);
    screened.sync();
    QCOMPARE(screened.status(), QSettings::NoError);
    const QSettings reread(m_path, SettingsFileFormat::ini());
    QCOMPARE(reread.allKeys().size(), 3);
    QCOMPARE(reread.value(u"added"_qs).toInt(), 3);
    // The value that was not read is not lost: the file was kept before it was written over.
    QCOMPARE(readFile(m_path + u".unreadable"_qs), "[General]\nbefore=1\n" + line + "\nafter=2\n");
}

void TestSettingsFileFormat::writesWhatQtReads()
{
    const QVariantList oneFolder {QByteArray("SBK1\0/x", 7)};
    {
        QSettings screened(m_path, SettingsFileFormat::ini());
        screened.setValue(u"FinderSyncBookmarks"_qs, oneFolder);
        screened.setValue(u"fileExtensions"_qs, QStringList {u"txt"_qs, u"@md"_qs});
    }
    const QSettings plain(m_path, QSettings::IniFormat);
    QCOMPARE(plain.value(u"FinderSyncBookmarks"_qs), QVariant(oneFolder));
    QCOMPARE(
        plain.value(u"fileExtensions"_qs).toStringList(), (QStringList {u"txt"_qs, u"@md"_qs}));
}

// Without a scratch folder the file's keys are unknown: writing only the changed one over it
// would lose the others.
void TestSettingsFileFormat::fileThatCouldNotBeReadIsNotWrittenOver()
{
    const QByteArray contents("[General]\nfontSize=14\nfontFamily=Mono\n");
    QVERIFY(writeFile(m_path, contents));
    const QByteArray tmp = qgetenv("TMPDIR");
    // A file where the folder should be: not even root can make a file in it.
    QVERIFY(writeFile(m_folder->filePath(u"not-a-folder"_qs), "x"));
    qputenv("TMPDIR", QFile::encodeName(m_folder->filePath(u"not-a-folder"_qs)));
    {
        QSettings screened(m_path, SettingsFileFormat::ini());
        screened.setValue(u"fontBold"_qs, true);
        screened.sync();
        QVERIFY(screened.status() != QSettings::NoError);
    }
    if (tmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmp);
    QCOMPARE(readFile(m_path), contents);
    // Once the file changes it is read again, now that there is room for the scratch copy.
    QVERIFY(writeFile(m_path, contents + "fontItalic=false\n"));
    QSettings screened(m_path, SettingsFileFormat::ini());
    QCOMPARE(screened.value(u"fontSize"_qs).toInt(), 14);
    screened.setValue(u"fontBold"_qs, true);
    screened.sync();
    QCOMPARE(screened.status(), QSettings::NoError);
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).value(u"fontFamily"_qs), QVariant(u"Mono"_qs));
}

void TestSettingsFileFormat::fileReadInPartIsKeptBeforeItIsWrittenOver_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("earlierCopy"); // already at NAME.unreadable; empty: none
    QTest::addColumn<QString>("keptAs"); // empty: nothing kept

    const QByteArray garbage("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe not settings at all", 38);
    QTest::addRow("garbage") << garbage << QByteArray() << u".unreadable"_qs;
    QTest::addRow("a line without =")
        << QByteArray("[General]\nfontSize=14\nfontFamily\n") << QByteArray() << u".unreadable"_qs;
    QTest::addRow("section without its bracket")
        << QByteArray("[General\nfontSize=14\n") << QByteArray() << u".unreadable"_qs;
    QTest::addRow("UTF-16") << QByteArray("\xff\xfe[\0G\0]\0", 8) << QByteArray()
                            << u".unreadable"_qs;
    QTest::addRow("an earlier copy of other bytes stays")
        << garbage << QByteArray("older garbage") << u".unreadable.2"_qs;
    QTest::addRow("the same bytes are kept once") << garbage << garbage << u".unreadable"_qs;
    QTest::addRow("comments, blank lines, values of any type")
        << QByteArray("; mine\n\n[General]\nfontSize=big\nlist=a, b\n") << QByteArray()
        << QString();
    QTest::addRow("empty file") << QByteArray() << QByteArray() << QString();
}

// What Qt's INI reader passes over is gone once the file is written anew: the bytes are kept
// beside it first, privately, and once.
void TestSettingsFileFormat::fileReadInPartIsKeptBeforeItIsWrittenOver()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, earlierCopy);
    QFETCH(QString, keptAs);
    QVERIFY(writeFile(m_path, contents));
    if (!earlierCopy.isEmpty())
        QVERIFY(writeFile(m_path + u".unreadable"_qs, earlierCopy));
    {
        QSettings screened(m_path, SettingsFileFormat::ini());
        screened.setValue(u"added"_qs, 1);
        screened.sync();
        QCOMPARE(screened.status(), QSettings::NoError);
        screened.setValue(u"added"_qs, 2);
    }
    QCOMPARE(QSettings(m_path, QSettings::IniFormat).value(u"added"_qs).toInt(), 2);
    const QStringList copies
        = QDir(m_folder->path()).entryList({u"settings.conf.unreadable*"_qs}, QDir::Files);
    if (keptAs.isEmpty()) {
        QVERIFY2(copies.isEmpty(), qPrintable(copies.join(u' ')));
        return;
    }
    QCOMPARE(copies.size(), earlierCopy.isEmpty() || earlierCopy == contents ? 1 : 2);
    QCOMPARE(readFile(m_path + keptAs), contents);
    if (earlierCopy.isEmpty())
        QCOMPARE(QFile::permissions(m_path + keptAs) & 0x0777, QFile::ReadUser | QFile::WriteUser);
    else
        QCOMPARE(readFile(m_path + u".unreadable"_qs), earlierCopy);
}

SCRIVLET_TEST_MAIN(TestSettingsFileFormat)
#include "tst_SettingsFileFormat.moc"
