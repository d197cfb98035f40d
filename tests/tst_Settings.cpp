#include "AppearanceMode.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaMethod>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>
#include <utility>

#include <sys/stat.h>

Q_DECLARE_METATYPE(SettingKey)

using TestFiles::readFile;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Permission bits and inode, or -1 when the file is missing.
std::pair<int, qint64> modeAndInode(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {-1, -1};
    return {int(status.st_mode & 0777), qint64(status.st_ino)};
}

int modeOf(const QString &path)
{
    return modeAndInode(path).first;
}

// One value per key of Settings::allKeys, none of them the default.
QList<QVariant> valuesOtherThanDefaults()
{
    return {QStringLiteral("Courier"), qint64(40), true, QStringLiteral("dark"), false, false,
        false, QStringLiteral("#FF0000"), QStringLiteral("#00FF00"),
        QStringList {QStringLiteral("md")}, true};
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void freshStoreHasDefaults();
    void roundTripsThroughTheFile_data();
    void roundTripsThroughTheFile();
    void readsHandEditedValues_data();
    void readsHandEditedValues();
    void survivesDamagedFiles_data();
    void survivesDamagedFiles();
    void notifiesEveryWrite_data();
    void notifiesEveryWrite();
    void refusesValuesOfTheWrongType();
    void resetsToDefaults();
    void resetDelegatesTheExtensionList();
    void keepsFilesPrivate();
    void sharedInstanceUsesTheConfigFolder();
    void mapsAppearanceModes_data();
    void mapsAppearanceModes();

private:
    // Each store gets a path of its own: QSettings caches parsed files per path within a process,
    // and only a new path makes it parse the bytes the way a new launch would.
    QString freshPath();
    std::unique_ptr<Settings> reopened(const Settings &settings);

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_paths = 0;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QString TestSettings::freshPath()
{
    return m_dir->filePath(QStringLiteral("%1/scrivlet/scrivlet.conf").arg(++m_paths));
}

std::unique_ptr<Settings> TestSettings::reopened(const Settings &settings)
{
    const QString copy = freshPath();
    writeFile(copy, readFile(settings.filePath()));
    return std::make_unique<Settings>(copy);
}

void TestSettings::freshStoreHasDefaults()
{
    Settings settings(freshPath());
    QCOMPARE(settings.fontFamily(), QStringLiteral("Menlo"));
    QCOMPARE(settings.fontSize(), 13);
    QCOMPARE(settings.fontBold(), false);
    QCOMPARE(settings.appearanceMode(), QStringLiteral("system"));
    QCOMPARE(settings.showLineNumbers(), true);
    QCOMPARE(settings.showStatusBar(), true);
    QCOMPARE(settings.reopenDocumentsOnLaunch(), true);
    QCOMPARE(settings.editorTextColor(), QString());
    QCOMPARE(settings.editorBackgroundColor(), QString());
    QCOMPARE(settings.fileExtensions(), std::nullopt);
    QCOMPARE(settings.hasShownDefaultHandlerPrompt(), false);
    for (const SettingKey key : Settings::allKeys)
        QVERIFY(!settings.contains(key));
}

void TestSettings::roundTripsThroughTheFile_data()
{
    QTest::addColumn<SettingKey>("key");
    QTest::addColumn<QVariant>("value");

    const auto string = [](const char16_t *text) {
        return QVariant(QString::fromUtf16(text));
    };
    QTest::addRow("plain family") << SettingKey::FontFamily << string(u"DejaVu Sans Mono");
    QTest::addRow("family with a comma") << SettingKey::FontFamily << string(u"Noto Sans, Bold");
    QTest::addRow("family with INI syntax")
        << SettingKey::FontFamily << string(u"  a;b#c=d\"e\\f@g [h] ");
    QTest::addRow("family starting with @") << SettingKey::FontFamily << string(u"@Invalid()");
    QTest::addRow("non-ASCII family")
        << SettingKey::FontFamily << string(u"Noto Sans CJK 日本語 ✓");
    QTest::addRow("largest size") << SettingKey::FontSize << QVariant(qint64(72));
    QTest::addRow("smallest size") << SettingKey::FontSize << QVariant(qint64(8));
    QTest::addRow("bold") << SettingKey::FontBold << QVariant(true);
    QTest::addRow("no line numbers") << SettingKey::ShowLineNumbers << QVariant(false);
    QTest::addRow("misspelt appearance") << SettingKey::AppearanceMode << string(u"Dark");
    QTest::addRow("empty colour is stored") << SettingKey::EditorTextColor << string(u"");
    QTest::addRow("one extension")
        << SettingKey::FileExtensions << QVariant(QStringList {QStringLiteral("txt")});
    QTest::addRow("two extensions")
        << SettingKey::FileExtensions << QVariant(Settings::defaultFileExtensions());
    QTest::addRow("extension with a comma")
        << SettingKey::FileExtensions << QVariant(QStringList {QStringLiteral("a, b")});
}

void TestSettings::roundTripsThroughTheFile()
{
    QFETCH(SettingKey, key);
    QFETCH(QVariant, value);
    Settings settings(freshPath());
    QVERIFY(settings.setValue(key, value));
    const std::unique_ptr<Settings> later = reopened(settings);
    QVERIFY(later->contains(key));
    QCOMPARE(later->value(key), value);
}

void TestSettings::readsHandEditedValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<SettingKey>("key");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("present");

    const auto list = [](std::initializer_list<const char16_t *> items) {
        QStringList strings;
        for (const char16_t *item : items)
            strings.append(QString::fromUtf16(item));
        return QVariant(strings);
    };
    const auto string = [](const char16_t *text) {
        return QVariant(QString::fromUtf16(text));
    };
    const auto add
        = [](const char *name, const char *line, SettingKey key, QVariant expected, bool present) {
              QTest::addRow("%s", name) << QByteArray(line) << key << expected << present;
          };
    add("unquoted comma in a string", "fontFamily=Noto Sans, Bold", SettingKey::FontFamily,
        string(u"Noto Sans, Bold"), true);
    add("semicolon starts a comment", "fontFamily=Fira Code; Retina", SettingKey::FontFamily,
        string(u"Fira Code"), true);
    add("string that is a rectangle", "fontFamily=@Rect(1 2 3 4)", SettingKey::FontFamily,
        string(u"Menlo"), false);
    add("size with spaces", "fontSize= 14 ", SettingKey::FontSize, QVariant(qint64(14)), true);
    add("size that is a word", "fontSize=big", SettingKey::FontSize, QVariant(qint64(13)), false);
    add("fractional size", "fontSize=14.5", SettingKey::FontSize, QVariant(qint64(13)), false);
    add("size beyond 64 bits", "fontSize=9223372036854775808", SettingKey::FontSize,
        QVariant(qint64(13)), false);
    // A size the editor cannot show reads as the nearest limit.
    add("size 0", "fontSize=0", SettingKey::FontSize, QVariant(qint64(8)), true);
    add("negative size", "fontSize=-5", SettingKey::FontSize, QVariant(qint64(8)), true);
    add("size just below the range", "fontSize=7", SettingKey::FontSize, QVariant(qint64(8)), true);
    add("size just above the range", "fontSize=73", SettingKey::FontSize, QVariant(qint64(72)),
        true);
    add("huge size", "fontSize=100000", SettingKey::FontSize, QVariant(qint64(72)), true);
    add("largest 64-bit size", "fontSize=9223372036854775807", SettingKey::FontSize,
        QVariant(qint64(72)), true);
    add("smallest 64-bit size", "fontSize=-9223372036854775808", SettingKey::FontSize,
        QVariant(qint64(8)), true);
    add("bool in capitals", "fontBold=TRUE", SettingKey::FontBold, QVariant(true), true);
    add("bool as 1", "fontBold=1", SettingKey::FontBold, QVariant(true), true);
    add("bool as no", "showStatusBar=no", SettingKey::ShowStatusBar, QVariant(true), false);
    add("capitalised appearance", "appearanceMode=Dark", SettingKey::AppearanceMode,
        string(u"Dark"), true);
    add("single extension", "fileExtensions=md", SettingKey::FileExtensions, list({u"md"}), true);
    // No list of extensions: the list is written anew with the defaults.
    add("empty list as written", "fileExtensions=@Invalid()", SettingKey::FileExtensions,
        QVariant(), false);
    add("empty list by hand", "fileExtensions=", SettingKey::FileExtensions, QVariant(), false);
    add("list", "fileExtensions=md, txt", SettingKey::FileExtensions, list({u"md", u"txt"}), true);
    add("list that is a number", "fileExtensions=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)",
        SettingKey::FileExtensions, QVariant(), false);
}

void TestSettings::readsHandEditedValues()
{
    QFETCH(QByteArray, line);
    QFETCH(SettingKey, key);
    QFETCH(QVariant, expected);
    QFETCH(bool, present);
    const QString path = freshPath();
    writeFile(path, "[General]\n" + line + '\n');
    Settings settings(path);
    QCOMPARE(settings.contains(key), present);
    QCOMPARE(settings.value(key), expected);
}

void TestSettings::survivesDamagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("fontSize");

    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
    QTest::addRow("random bytes") << random << qint64(13);
    QTest::addRow("NUL bytes") << QByteArray(4096, '\0') << qint64(13);
    const char cutShort[] = "[General]\nfontSize=12\0"
                            "0\n";
    QTest::addRow("NUL cuts a value short")
        << QByteArray(cutShort, sizeof cutShort - 1) << qint64(12);
    QTest::addRow("truncated last line")
        << QByteArray("[General]\nfontSize=15\nfontFa") << qint64(15);
    QTest::addRow("unterminated quote")
        << QByteArray("[General]\nfontSize=16\nfontFamily=\"Men\n") << qint64(16);
    QTest::addRow("section without bracket") << QByteArray("[General\nfontSize=17\n") << qint64(17);
    QTest::addRow("huge value") << "[General]\nfontSize=18\nfontFamily=" + QByteArray(8 << 20, 'x')
            + "\n" << qint64(18);
    QTest::addRow("huge number") << "[General]\nfontSize=" + QByteArray(100000, '9') << qint64(13);
    QTest::addRow("broken variant")
        << QByteArray("[General]\nfontSize=@Variant(\\0\\0\\0\\x7f\\0)\n") << qint64(13);
    QTest::addRow("UTF-16 with BOM") << QByteArray("\xff\xfe[\0G\0]\0", 8) << qint64(13);
}

// Whatever the file holds, reading gives values of the right type, and the next write repairs
// the file rather than being lost.
void TestSettings::survivesDamagedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, fontSize);
    const QString path = freshPath();
    writeFile(path, bytes);
    Settings settings(path);
    QCOMPARE(settings.fontSize(), fontSize);
    for (const SettingKey key : Settings::allKeys) {
        const QVariant value = settings.value(key);
        QVERIFY(value.typeId() == int(Settings::valueType(key)) || !value.isValid());
    }
    settings.setShowStatusBar(false);
    QCOMPARE(reopened(settings)->showStatusBar(), false);
}

void TestSettings::notifiesEveryWrite_data()
{
    QTest::addColumn<SettingKey>("key");
    QTest::addColumn<QVariant>("value");

    const QList<QVariant> values = valuesOtherThanDefaults();
    for (std::size_t i = 0; i < Settings::allKeys.size(); ++i) {
        const SettingKey key = Settings::allKeys[i];
        QTest::addRow("%s", qPrintable(Settings::keyName(key))) << key << values[qsizetype(i)];
    }
}

// The same value twice still notifies twice, and the file holds the value before observers run.
void TestSettings::notifiesEveryWrite()
{
    QFETCH(SettingKey, key);
    QFETCH(QVariant, value);
    Settings settings(freshPath());
    // Each key has a signal named after it, so bindings can find it by name.
    const QByteArray signalName = Settings::keyName(key).toLatin1() + "Changed";
    const QMetaObject *meta = settings.metaObject();
    QMetaMethod signal;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        if (meta->method(i).name() == signalName)
            signal = meta->method(i);
    }
    QVERIFY(signal.isValid());
    QSignalSpy perKey(&settings, signal);
    QSignalSpy generic(&settings, &Settings::changed);
    bool persistedFirst = false;
    connect(&settings, &Settings::changed, this, [&] {
        persistedFirst = readFile(settings.filePath()).contains(Settings::keyName(key).toUtf8());
    });
    QVERIFY(settings.setValue(key, value));
    QVERIFY(settings.setValue(key, value));
    QCOMPARE(perKey.size(), 2);
    QCOMPARE(perKey.at(1).at(0), value);
    QCOMPARE(generic.size(), 2);
    QCOMPARE(generic.at(0).at(0).value<SettingKey>(), key);
    QVERIFY(persistedFirst);
}

void TestSettings::refusesValuesOfTheWrongType()
{
    Settings settings(freshPath());
    QSignalSpy generic(&settings, &Settings::changed);
    QVERIFY(!settings.setValue(SettingKey::FontSize, QStringLiteral("large")));
    QVERIFY(!settings.setValue(SettingKey::FontBold, QStringLiteral("maybe")));
    QVERIFY(!settings.setValue(SettingKey::FontFamily, 12));
    QVERIFY(!settings.setValue(SettingKey::FileExtensions, QStringList()));
    QVERIFY(settings.setValue(SettingKey::FontSize, QStringLiteral("20")));
    QCOMPARE(generic.size(), 1);
    QCOMPARE(settings.fontSize(), 20);
    QVERIFY(!settings.contains(SettingKey::FontBold));
    QVERIFY(!settings.contains(SettingKey::FileExtensions));
    QVERIFY(settings.setValue(SettingKey::FontSize, qint64(0)));
    QCOMPARE(generic.size(), 2);
    QCOMPARE(settings.fontSize(), 8);
}

void TestSettings::resetsToDefaults()
{
    Settings settings(freshPath());
    const QList<QVariant> before = valuesOtherThanDefaults();
    for (std::size_t i = 0; i < Settings::allKeys.size(); ++i)
        settings.setValue(Settings::allKeys[i], before[qsizetype(i)]);
    QSignalSpy generic(&settings, &Settings::changed);

    settings.resetToDefaults();
    QList<SettingKey> order;
    for (const QList<QVariant> &arguments : generic)
        order.append(arguments.at(0).value<SettingKey>());
    const QList<SettingKey> expectedOrder {SettingKey::FontFamily, SettingKey::FontSize,
        SettingKey::FontBold, SettingKey::AppearanceMode, SettingKey::ShowLineNumbers,
        SettingKey::ReopenDocumentsOnLaunch, SettingKey::EditorTextColor,
        SettingKey::EditorBackgroundColor, SettingKey::FileExtensions};
    QCOMPARE(order, expectedOrder);

    const std::unique_ptr<Settings> later = reopened(settings);
    for (std::size_t i = 0; i < Settings::allKeys.size(); ++i) {
        const SettingKey key = Settings::allKeys[i];
        QVariant expected = Settings::defaultValue(key);
        if (key == SettingKey::FileExtensions)
            expected = Settings::defaultFileExtensions();
        else if (!expectedOrder.contains(key))
            expected = before[qsizetype(i)];
        QCOMPARE(later->value(key), expected);
    }
}

void TestSettings::resetDelegatesTheExtensionList()
{
    Settings settings(freshPath());
    settings.setFileExtensions({QStringLiteral("md")});
    QSignalSpy generic(&settings, &Settings::changed);
    int calls = 0;
    settings.setFileExtensionsResetHandler([&] {
        ++calls;
        QCOMPARE(generic.size(), 8);
    });
    settings.resetToDefaults();
    QCOMPARE(calls, 1);
    QCOMPARE(settings.fileExtensions(), std::optional(QStringList {QStringLiteral("md")}));
}

void TestSettings::keepsFilesPrivate()
{
    const QString path = freshPath();
    const QString folder = QFileInfo(path).absolutePath();
    Settings settings(path);
    QCOMPARE(modeOf(folder), 0700);
    QCOMPARE(modeOf(path), 0600);

    // QSettings writes a new file and renames it over the old one.
    const qint64 inode = modeAndInode(path).second;
    settings.setFontSize(20);
    QCOMPARE(modeAndInode(path), std::pair(0600, modeAndInode(path).second));
    QVERIFY(modeAndInode(path).second != inode);

    // Opened after someone else loosened both.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QFile::setPermissions(folder,
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
            | QFile::ExeOther);
    const Settings again(path);
    QCOMPARE(modeOf(folder), 0700);
    QCOMPARE(modeOf(path), 0600);

    // Deleted while open: QSettings recreates it with the umask's mode.
    QFile::remove(path);
    settings.setFontSize(21);
    QCOMPARE(modeOf(path), 0600);
    QVERIFY(readFile(path).contains("fontSize=21"));
}

void TestSettings::sharedInstanceUsesTheConfigFolder()
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/scrivlet/scrivlet.conf");
    QCOMPARE(Settings::shared().filePath(), expected);
    QCOMPARE(&Settings::shared(), &Settings::shared());
    QVERIFY(QFileInfo(expected).absolutePath().startsWith(QDir::homePath()));
}

void TestSettings::mapsAppearanceModes_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<std::optional<AppearanceMode>>("mode");
    QTest::addColumn<ColorScheme>("scheme");

    QTest::addRow("system") << QStringLiteral("system") << std::optional(AppearanceMode::System)
                            << ColorScheme::None;
    QTest::addRow("light") << QStringLiteral("light") << std::optional(AppearanceMode::Light)
                           << ColorScheme::Light;
    QTest::addRow("dark") << QStringLiteral("dark") << std::optional(AppearanceMode::Dark)
                          << ColorScheme::Dark;
    QTest::addRow("capital D") << QStringLiteral("Dark") << std::optional<AppearanceMode>()
                               << ColorScheme::None;
    QTest::addRow("padded") << QStringLiteral(" dark") << std::optional<AppearanceMode>()
                            << ColorScheme::None;
    QTest::addRow("title instead of raw value")
        << QStringLiteral("System Default") << std::optional<AppearanceMode>() << ColorScheme::None;
    QTest::addRow("empty") << QString() << std::optional<AppearanceMode>() << ColorScheme::None;
}

void TestSettings::mapsAppearanceModes()
{
    QFETCH(QString, stored);
    QFETCH(std::optional<AppearanceMode>, mode);
    QFETCH(ColorScheme, scheme);
    QCOMPARE(appearanceModeFromRaw(stored), mode);
    QCOMPARE(colorSchemeForAppearance(stored), scheme);
    if (mode)
        QCOMPARE(appearanceModeRawValue(*mode), stored);
    const QStringList titles {
        QStringLiteral("System Default"), QStringLiteral("Light"), QStringLiteral("Dark")};
    for (std::size_t i = 0; i < allAppearanceModes.size(); ++i)
        QCOMPARE(appearanceModeTitle(allAppearanceModes[i]), titles[qsizetype(i)]);
}

SCRIVLET_TEST_MAIN(TestSettings)
#include "tst_Settings.moc"
