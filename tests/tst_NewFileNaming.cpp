#include "NewFileNaming.h"
#include "NewFileUrl.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

void touch(const QString &path, const QByteArray &contents = QByteArray())
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

class TestNewFileNaming : public QObject
{
    Q_OBJECT

private slots:
    void picksTheFirstFreeName_data();
    void picksTheFirstFreeName();
    void fallsBackToAUuidAfterTheLastNumber();
    void neverReplacesAFileThatAppearedAfterTheCheck();
    void reportsWhyNothingWasMade();
    void encodesTheFolderPath_data();
    void encodesTheFolderPath();
    void readsRequests_data();
    void readsRequests();
};

void TestNewFileNaming::picksTheFirstFreeName_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    const QString untitled = u"Untitled.txt"_qs;
    QTest::addRow("empty folder") << untitled << QStringList() << untitled;
    QTest::addRow("Untitled.txt taken")
        << untitled << QStringList {untitled} << u"Untitled 2.txt"_qs;
    QTest::addRow("Untitled.txt and Untitled 2.txt taken")
        << untitled << QStringList {untitled, u"Untitled 2.txt"_qs} << u"Untitled 3.txt"_qs;
    QTest::addRow("a folder takes the name too")
        << untitled << QStringList {u"Untitled.txt/"_qs} << u"Untitled 2.txt"_qs;
    QTest::addRow("a symlink to nowhere takes the name too")
        << untitled << QStringList {u"Untitled.txt@"_qs} << u"Untitled 2.txt"_qs;
    QTest::addRow("name without extension")
        << u"Notes"_qs << QStringList {u"Notes"_qs} << u"Notes 2"_qs;
    QTest::addRow("last dot splits")
        << u"a.tar.gz"_qs << QStringList {u"a.tar.gz"_qs} << u"a.tar 2.gz"_qs;
    QTest::addRow("leading dot is no extension")
        << u".notes"_qs << QStringList {u".notes"_qs} << u".notes 2"_qs;
    for (const QString &unsafe :
        {QString(), u"."_qs, u".."_qs, u"../escape.txt"_qs, u"a/b"_qs, u"nul\0byte"_qs})
        QTest::addRow("unsafe name \"%s\"", qPrintable(unsafe))
            << unsafe << QStringList() << untitled;
}

void TestNewFileNaming::picksTheFirstFreeName()
{
    QFETCH(QString, configured);
    QFETCH(QStringList, existing);
    QTemporaryDir folder;
    for (const QString &name : existing) {
        if (name.endsWith(u'/'))
            QDir(folder.path()).mkdir(name.chopped(1));
        else if (name.endsWith(u'@'))
            QFile::link(folder.path() + u"/nowhere"_qs, folder.path() + u'/' + name.chopped(1));
        else
            touch(folder.path() + u'/' + name);
    }
    const NewFileNaming::Creation creation
        = NewFileNaming::createUniqueFile(configured, folder.path());
    QVERIFY2(creation.succeeded(), qPrintable(creation.error));
    QTEST(QFileInfo(creation.path).fileName(), "expected");
    QCOMPARE(QFileInfo(creation.path).size(), 0);
    QCOMPARE(QDir(folder.path())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden)
                 .size(),
        existing.size() + 1);
}

void TestNewFileNaming::fallsBackToAUuidAfterTheLastNumber()
{
    int checks = 0;
    const auto allTaken = [&](const QString &) {
        return ++checks > 0;
    };
    const QString path = NewFileNaming::uniqueFilePath(u"Notes"_qs, u"/f"_qs, allTaken);
    QVERIFY2(
        QRegularExpression(u"^/f/Notes [0-9A-F]{8}$"_qs).match(path).hasMatch(), qPrintable(path));
    QCOMPARE(checks, NewFileNaming::lastNumber); // the name itself, then 2 to 10000
    const QString withExtension = NewFileNaming::uniqueFilePath(u"a.txt"_qs, u"/f/"_qs, allTaken);
    QVERIFY2(QRegularExpression(u"^/f/a [0-9A-F]{8}\\.txt$"_qs).match(withExtension).hasMatch(),
        qPrintable(withExtension));
}

void TestNewFileNaming::neverReplacesAFileThatAppearedAfterTheCheck()
{
    QTemporaryDir folder;
    const QString appeared = folder.path() + u"/Untitled.txt"_qs;
    touch(appeared, "written by someone else");
    // The check still sees the folder as it was before the other file was written.
    const auto staleCheck = [&](const QString &path) {
        return path != appeared && NewFileNaming::isOccupied(path);
    };
    const NewFileNaming::Creation creation
        = NewFileNaming::createUniqueFile(u"Untitled.txt"_qs, folder.path(), staleCheck);
    QCOMPARE(QFileInfo(creation.path).fileName(), u"Untitled 2.txt"_qs);
    QFile original(appeared);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(original.readAll(), QByteArray("written by someone else"));
}

void TestNewFileNaming::reportsWhyNothingWasMade()
{
    const NewFileNaming::Creation creation
        = NewFileNaming::createUniqueFile(u"Untitled.txt"_qs, u"/nonexistent-folder"_qs);
    QVERIFY(!creation.succeeded());
    QCOMPARE(creation.error, u"No such file or directory"_qs);
}

void TestNewFileNaming::encodesTheFolderPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("url");
    QTest::addRow("space") << u"/Users/a/My Notes"_qs
                           << u"scrivlet://new-file?path=/Users/a/My%20Notes"_qs;
    QTest::addRow("query delimiters")
        << u"/t/Tom & Jerry=1+2;x?"_qs
        << u"scrivlet://new-file?path=/t/Tom%20%26%20Jerry%3D1%2B2%3Bx?"_qs;
    QTest::addRow("non-ASCII letters")
        << u"/tmp/Été/日記"_qs
        << u"scrivlet://new-file?path=/tmp/%C3%89t%C3%A9/%E6%97%A5%E8%A8%98"_qs;
    QTest::addRow("percent sign") << u"/tmp/100%"_qs << u"scrivlet://new-file?path=/tmp/100%25"_qs;
    // Found by fuzzing: U+FEFF opening the value was dropped as if it were a byte-order mark.
    QTest::addRow("leading U+FEFF")
        << u"\uFEFFNotes"_qs << u"scrivlet://new-file?path=%EF%BB%BFNotes"_qs;
}

void TestNewFileNaming::encodesTheFolderPath()
{
    QFETCH(QString, folder);
    QFETCH(QString, url);
    QCOMPARE(NewFileUrl::build(folder), std::optional<QString>(url));
    // And the editor reads back exactly the folder that was sent.
    QCOMPARE(NewFileUrl::folderPath(url), std::optional<QString>(folder));
}

void TestNewFileNaming::readsRequests_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("folder"); // null: no request
    QTest::addRow("another host") << u"scrivlet://other?path=/tmp"_qs << QString();
    QTest::addRow("no query") << u"scrivlet://new-file"_qs << QString();
    QTest::addRow("no path item") << u"scrivlet://new-file?folder=/tmp"_qs << QString();
    QTest::addRow("path without value") << u"scrivlet://new-file?path"_qs << QString();
    QTest::addRow("scheme in capitals") << u"SCRIVLET://new-file?path=/tmp"_qs << QString();
    QTest::addRow("host in capitals") << u"scrivlet://NEW-FILE?path=/tmp"_qs << QString();
    QTest::addRow("another scheme") << u"https://new-file?path=/tmp"_qs << QString();
    QTest::addRow("malformed escape") << u"scrivlet://new-file?path=/t%zz"_qs << QString();
    QTest::addRow("first of two path items")
        << u"scrivlet://new-file?path=/a&path=/b"_qs << u"/a"_qs;
    QTest::addRow("path after another item") << u"scrivlet://new-file?x=1&path=/a"_qs << u"/a"_qs;
    QTest::addRow("empty value is a value") << u"scrivlet://new-file?path="_qs << u""_qs;
    QTest::addRow("plus stays a plus") << u"scrivlet://new-file?path=/a+b"_qs << u"/a+b"_qs;
    QTest::addRow("U+FEFF before the item name")
        << u"scrivlet://new-file?%EF%BB%BFpath=/a"_qs << QString();
}

void TestNewFileNaming::readsRequests()
{
    QFETCH(QString, url);
    QFETCH(QString, folder);
    const std::optional<QString> read = NewFileUrl::folderPath(url);
    QCOMPARE(read.has_value(), !folder.isNull());
    if (read)
        QCOMPARE(*read, folder);
}

SCRIVLET_TEST_MAIN(TestNewFileNaming)
#include "tst_NewFileNaming.moc"
