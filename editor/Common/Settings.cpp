#include "Settings.h"

#include "SettingsFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
#include <limits>
#include <utility>
#include <variant>

Q_LOGGING_CATEGORY(lcSettings, "scrivlet.settings")

namespace {

using DefaultValue = std::variant<std::monostate, bool, qint64, QStringView>;

struct Definition
{
    SettingKey key;
    QStringView name;
    QMetaType::Type type;
    DefaultValue defaultValue;
};

// clang-format off
constexpr std::array<Definition, 11> definitions {{
    {SettingKey::FontFamily, u"fontFamily", QMetaType::QString, QStringView(u"Menlo")},
    {SettingKey::FontSize, u"fontSize", QMetaType::LongLong, qint64(13)},
    {SettingKey::FontBold, u"fontBold", QMetaType::Bool, false},
    {SettingKey::AppearanceMode, u"appearanceMode", QMetaType::QString, QStringView(u"system")},
    {SettingKey::ShowLineNumbers, u"showLineNumbers", QMetaType::Bool, true},
    {SettingKey::ShowStatusBar, u"showStatusBar", QMetaType::Bool, true},
    {SettingKey::ReopenDocumentsOnLaunch, u"reopenDocumentsOnLaunch", QMetaType::Bool, true},
    {SettingKey::EditorTextColor, u"editorTextColor", QMetaType::QString, QStringView(u"")},
    {SettingKey::EditorBackgroundColor, u"editorBackgroundColor", QMetaType::QString, QStringView(u"")},
    {SettingKey::FileExtensions, u"fileExtensions", QMetaType::QStringList, std::monostate()},
    {SettingKey::HasShownDefaultHandlerPrompt, u"hasShownDefaultHandlerPrompt", QMetaType::Bool, false},
}};
// clang-format on

constexpr bool definitionsFollowKeyOrder()
{
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        if (definitions[i].key != SettingKey(i) || Settings::allKeys[i] != SettingKey(i))
            return false;
    }
    return definitions.size() == Settings::allKeys.size();
}
static_assert(definitionsFollowKeyOrder(), "one definition per key, in the order of SettingKey");

// What Reset to Defaults writes before the extension list, in this order.
constexpr std::array<SettingKey, 8> resetKeys {
    SettingKey::FontFamily,
    SettingKey::FontSize,
    SettingKey::FontBold,
    SettingKey::AppearanceMode,
    SettingKey::ShowLineNumbers,
    SettingKey::ReopenDocumentsOnLaunch,
    SettingKey::EditorTextColor,
    SettingKey::EditorBackgroundColor,
};

const Definition &definition(SettingKey key)
{
    return definitions[std::size_t(key)];
}

constexpr QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions privateFolder = privateFile | QFile::ExeOwner;
// QFile reports the "user" bits too; only the mode bits matter here.
constexpr QFile::Permissions modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
    | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
    | QFile::ExeOther;

void restrictPermissions(const QString &path, QFile::Permissions wanted)
{
    if ((QFile::permissions(path) & modeBits) != wanted)
        QFile::setPermissions(path, wanted);
}

// Runs before QSettings opens the file: a file that already exists with mode 0600 keeps that
// mode through QSettings' atomic rewrites, so the preferences are never readable by others.
QString preparePrivateFile(const QString &filePath)
{
    const QFileInfo info(filePath);
    const QString folder = info.absolutePath();
    const QFileInfo folderInfo(folder);
    if (!folderInfo.exists()) {
        QDir().mkpath(folderInfo.absolutePath());
        QDir(folderInfo.absolutePath()).mkdir(folderInfo.fileName(), privateFolder);
    }
    restrictPermissions(folder, privateFolder);
    QFile file(filePath);
    if (!info.exists())
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, privateFile);
    restrictPermissions(filePath, privateFile);
    return filePath;
}

std::optional<bool> boolFromText(const QString &text)
{
    if (text.compare(u"true", Qt::CaseInsensitive) == 0 || text == u"1")
        return true;
    if (text.compare(u"false", Qt::CaseInsensitive) == 0 || text == u"0")
        return false;
    return std::nullopt;
}

std::optional<QVariant> readAsString(const QVariant &raw)
{
    if (raw.typeId() == QMetaType::QString)
        return raw;
    // An unquoted comma in a hand-edited file splits the text into a list.
    if (raw.typeId() == QMetaType::QStringList)
        return QVariant(raw.toStringList().join(u", "));
    return std::nullopt;
}

std::optional<QVariant> readAsInteger(const QVariant &raw)
{
    bool ok = false;
    qint64 number = 0;
    switch (raw.typeId()) {
    case QMetaType::QString:
        number = raw.toString().toLongLong(&ok, 10);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = raw.toLongLong(&ok);
        ok = ok
            && (raw.typeId() != QMetaType::ULongLong
                || raw.toULongLong() <= quint64(std::numeric_limits<qint64>::max()));
        break;
    default:
        break;
    }
    return ok ? std::optional<QVariant>(QVariant(number)) : std::nullopt;
}

std::optional<QVariant> readAsBool(const QVariant &raw)
{
    if (raw.typeId() == QMetaType::Bool)
        return raw;
    if (raw.typeId() != QMetaType::QString)
        return std::nullopt;
    const std::optional<bool> flag = boolFromText(raw.toString());
    return flag ? std::optional<QVariant>(QVariant(*flag)) : std::nullopt;
}

// QSettings writes a one-element list as a plain string. An empty list (written as @Invalid(),
// or "fileExtensions=" by hand) is no list of extensions: the Settings window never leaves one,
// so it reads as absent and the default applies.
std::optional<QVariant> readAsStringList(const QVariant &raw)
{
    if (raw.typeId() == QMetaType::QStringList && !raw.toStringList().isEmpty())
        return raw;
    if (raw.typeId() == QMetaType::QString && !raw.toString().isEmpty())
        return QVariant(QStringList {raw.toString()});
    return std::nullopt;
}

// The size as the editor can show it: 0, a negative size or a huge one would make the text
// invisible, so a size outside the range reads as the nearest limit.
QVariant clampedFontSize(const QVariant &points)
{
    return QVariant(
        std::clamp(points.toLongLong(), Settings::minimumFontSize, Settings::maximumFontSize));
}

std::optional<QVariant> readAs(QMetaType::Type type, const QVariant &raw)
{
    switch (type) {
    case QMetaType::QString:
        return readAsString(raw);
    case QMetaType::LongLong:
        return readAsInteger(raw);
    case QMetaType::Bool:
        return readAsBool(raw);
    case QMetaType::QStringList:
        return readAsStringList(raw);
    default:
        return std::nullopt;
    }
}

} // namespace

Settings::Settings(QObject *parent)
    : Settings(standardFilePath(), parent)
{ }

Settings::Settings(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(preparePrivateFile(filePath))
    , m_settings(m_filePath, SettingsFileFormat::ini())
{ }

Settings::~Settings() = default;

Settings &Settings::shared()
{
    static Settings instance;
    return instance;
}

QString Settings::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/scrivlet/scrivlet.conf");
}

QString Settings::filePath() const
{
    return m_filePath;
}

QString Settings::keyName(SettingKey key)
{
    return definition(key).name.toString();
}

std::optional<SettingKey> Settings::keyFromName(QStringView name)
{
    for (const Definition &entry : definitions) {
        if (entry.name == name)
            return entry.key;
    }
    return std::nullopt;
}

QMetaType::Type Settings::valueType(SettingKey key)
{
    return definition(key).type;
}

QVariant Settings::defaultValue(SettingKey key)
{
    return std::visit(
        [](const auto &value) -> QVariant {
            using Type = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Type, std::monostate>)
                return QVariant();
            else if constexpr (std::is_same_v<Type, QStringView>)
                return QVariant(value.toString());
            else
                return QVariant(value);
        },
        definition(key).defaultValue);
}

QStringList Settings::defaultFileExtensions()
{
    return {QStringLiteral("text"), QStringLiteral("txt")};
}

QVariant Settings::value(SettingKey key) const
{
    return storedValue(key).value_or(defaultValue(key));
}

std::optional<QVariant> Settings::converted(SettingKey key, const QVariant &raw)
{
    const std::optional<QVariant> value = readAs(valueType(key), raw);
    if (value && key == SettingKey::FontSize)
        return clampedFontSize(*value);
    return value;
}

bool Settings::setValue(SettingKey key, const QVariant &value)
{
    const std::optional<QVariant> stored = converted(key, value);
    if (!stored)
        return false;
    store(key, *stored);
    persist();
    notify(key, *stored);
    return true;
}

bool Settings::contains(SettingKey key) const
{
    return storedValue(key).has_value();
}

std::optional<QVariant> Settings::storedValue(SettingKey key) const
{
    const QString name = keyName(key);
    if (!m_settings.contains(name))
        return std::nullopt;
    return converted(key, m_settings.value(name));
}

void Settings::store(SettingKey key, const QVariant &value)
{
    m_settings.setValue(keyName(key), value);
}

void Settings::persist()
{
    m_settings.sync();
    if (m_settings.status() == QSettings::AccessError)
        qCWarning(lcSettings) << "cannot write the settings file" << m_filePath;
    // Covers a file that was deleted or replaced (by hand, or by another editor) since we opened
    // it: QSettings then creates it with the umask's mode.
    restrictPermissions(m_filePath, privateFile);
}

void Settings::notify(SettingKey key, const QVariant &value)
{
    switch (key) {
    case SettingKey::FontFamily:
        emit fontFamilyChanged(value.toString());
        break;
    case SettingKey::FontSize:
        emit fontSizeChanged(value.toLongLong());
        break;
    case SettingKey::FontBold:
        emit fontBoldChanged(value.toBool());
        break;
    case SettingKey::AppearanceMode:
        emit appearanceModeChanged(value.toString());
        break;
    case SettingKey::ShowLineNumbers:
        emit showLineNumbersChanged(value.toBool());
        break;
    case SettingKey::ShowStatusBar:
        emit showStatusBarChanged(value.toBool());
        break;
    case SettingKey::ReopenDocumentsOnLaunch:
        emit reopenDocumentsOnLaunchChanged(value.toBool());
        break;
    case SettingKey::EditorTextColor:
        emit editorTextColorChanged(value.toString());
        break;
    case SettingKey::EditorBackgroundColor:
        emit editorBackgroundColorChanged(value.toString());
        break;
    case SettingKey::FileExtensions:
        emit fileExtensionsChanged(value.toStringList());
        break;
    case SettingKey::HasShownDefaultHandlerPrompt:
        emit hasShownDefaultHandlerPromptChanged(value.toBool());
        break;
    }
    emit changed(key);
}

QString Settings::fontFamily() const
{
    return value(SettingKey::FontFamily).toString();
}

void Settings::setFontFamily(const QString &family)
{
    setValue(SettingKey::FontFamily, family);
}

qint64 Settings::fontSize() const
{
    return value(SettingKey::FontSize).toLongLong();
}

void Settings::setFontSize(qint64 points)
{
    setValue(SettingKey::FontSize, points);
}

bool Settings::fontBold() const
{
    return value(SettingKey::FontBold).toBool();
}

void Settings::setFontBold(bool bold)
{
    setValue(SettingKey::FontBold, bold);
}

QString Settings::appearanceMode() const
{
    return value(SettingKey::AppearanceMode).toString();
}

void Settings::setAppearanceMode(const QString &mode)
{
    setValue(SettingKey::AppearanceMode, mode);
}

bool Settings::showLineNumbers() const
{
    return value(SettingKey::ShowLineNumbers).toBool();
}

void Settings::setShowLineNumbers(bool show)
{
    setValue(SettingKey::ShowLineNumbers, show);
}

bool Settings::showStatusBar() const
{
    return value(SettingKey::ShowStatusBar).toBool();
}

void Settings::setShowStatusBar(bool show)
{
    setValue(SettingKey::ShowStatusBar, show);
}

bool Settings::reopenDocumentsOnLaunch() const
{
    return value(SettingKey::ReopenDocumentsOnLaunch).toBool();
}

void Settings::setReopenDocumentsOnLaunch(bool reopen)
{
    setValue(SettingKey::ReopenDocumentsOnLaunch, reopen);
}

QString Settings::editorTextColor() const
{
    return value(SettingKey::EditorTextColor).toString();
}

void Settings::setEditorTextColor(const QString &hex)
{
    setValue(SettingKey::EditorTextColor, hex);
}

QString Settings::editorBackgroundColor() const
{
    return value(SettingKey::EditorBackgroundColor).toString();
}

void Settings::setEditorBackgroundColor(const QString &hex)
{
    setValue(SettingKey::EditorBackgroundColor, hex);
}

std::optional<QStringList> Settings::fileExtensions() const
{
    const std::optional<QVariant> stored = storedValue(SettingKey::FileExtensions);
    return stored ? std::optional<QStringList>(stored->toStringList()) : std::nullopt;
}

void Settings::setFileExtensions(const QStringList &extensions)
{
    setValue(SettingKey::FileExtensions, extensions);
}

bool Settings::hasShownDefaultHandlerPrompt() const
{
    return value(SettingKey::HasShownDefaultHandlerPrompt).toBool();
}

void Settings::setHasShownDefaultHandlerPrompt(bool shown)
{
    setValue(SettingKey::HasShownDefaultHandlerPrompt, shown);
}

void Settings::resetToDefaults()
{
    // One file rewrite for the whole reset; observers are told afterwards, in the reset order,
    // and see the other reset values already in place.
    for (const SettingKey key : resetKeys)
        store(key, defaultValue(key));
    persist();
    for (const SettingKey key : resetKeys)
        notify(key, defaultValue(key));
    if (m_fileExtensionsResetHandler)
        m_fileExtensionsResetHandler();
    else
        setFileExtensions(defaultFileExtensions());
}

void Settings::setFileExtensionsResetHandler(std::function<void()> handler)
{
    m_fileExtensionsResetHandler = std::move(handler);
}
