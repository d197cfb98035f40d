#pragma once

#include <QMetaType>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <array>
#include <functional>
#include <optional>

// Every user preference of the standard store. Settings::keyName() gives the stored name.
enum class SettingKey {
    FontFamily,
    FontSize,
    FontBold,
    AppearanceMode,
    ShowLineNumbers,
    ShowStatusBar,
    ReopenDocumentsOnLaunch,
    EditorTextColor,
    EditorBackgroundColor,
    FileExtensions,
    HasShownDefaultHandlerPrompt,
};

// The user's preferences, kept in an INI file that only the user can read. Keys, types and
// defaults are defined once here; every window reads through one shared instance and follows
// its change signals, so a write is seen everywhere at once.
//
// Reading is forgiving because the file may be edited by hand: a value that cannot be read as
// its key's type (say fontSize=big) counts as absent and the default applies. Booleans read
// "true"/"false"/"1"/"0" in any case, integers read decimal text. The INI format turns an
// unquoted comma into a list, so a hand-written fontFamily=Noto Sans, Bold is read back joined
// with ", ", and a list key holding a single string is a one-element list; an empty list counts
// as absent. A font size outside 8–72 reads, and is stored, as the nearest limit.
class Settings : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 minimumFontSize = 8;
    static constexpr qint64 maximumFontSize = 72;

    static constexpr std::array<SettingKey, 11> allKeys {
        SettingKey::FontFamily,
        SettingKey::FontSize,
        SettingKey::FontBold,
        SettingKey::AppearanceMode,
        SettingKey::ShowLineNumbers,
        SettingKey::ShowStatusBar,
        SettingKey::ReopenDocumentsOnLaunch,
        SettingKey::EditorTextColor,
        SettingKey::EditorBackgroundColor,
        SettingKey::FileExtensions,
        SettingKey::HasShownDefaultHandlerPrompt,
    };

    // The file at $XDG_CONFIG_HOME/scrivlet/scrivlet.conf.
    explicit Settings(QObject *parent = nullptr);
    // Any file; its folder is made private like the standard one.
    explicit Settings(const QString &filePath, QObject *parent = nullptr);
    ~Settings() override;

    // The instance every window shares, over the standard file.
    static Settings &shared();
    static QString standardFilePath();
    QString filePath() const;

    static QString keyName(SettingKey key);
    static std::optional<SettingKey> keyFromName(QStringView name);
    // QString, LongLong, Bool or QStringList.
    static QMetaType::Type valueType(SettingKey key);
    // Invalid for FileExtensions, which has no default until the file-associations manager
    // writes one.
    static QVariant defaultValue(SettingKey key);
    // "text", "txt": what Reset to Defaults and a first launch store.
    static QStringList defaultFileExtensions();

    // The stored value as valueType(key), else defaultValue(key).
    QVariant value(SettingKey key) const;
    // Converts like a read does; returns false and writes nothing when that fails.
    bool setValue(SettingKey key, const QVariant &value);
    // Whether a value readable as the key's type is stored.
    bool contains(SettingKey key) const;

    QString fontFamily() const;
    void setFontFamily(const QString &family);
    qint64 fontSize() const;
    void setFontSize(qint64 points);
    bool fontBold() const;
    void setFontBold(bool bold);
    // The raw string, not a parsed AppearanceMode: consumers must treat unknown text as system.
    QString appearanceMode() const;
    void setAppearanceMode(const QString &mode);
    bool showLineNumbers() const;
    void setShowLineNumbers(bool show);
    bool showStatusBar() const;
    void setShowStatusBar(bool show);
    bool reopenDocumentsOnLaunch() const;
    void setReopenDocumentsOnLaunch(bool reopen);
    // "" means the system colour, as does text that does not decode as a hex colour.
    QString editorTextColor() const;
    void setEditorTextColor(const QString &hex);
    QString editorBackgroundColor() const;
    void setEditorBackgroundColor(const QString &hex);
    // None until something stores a list of at least one extension.
    std::optional<QStringList> fileExtensions() const;
    void setFileExtensions(const QStringList &extensions);
    bool hasShownDefaultHandlerPrompt() const;
    void setHasShownDefaultHandlerPrompt(bool shown);

    // Writes the defaults of everything Preferences shows, then restores the extension list
    // through the reset handler (or stores defaultFileExtensions() when none is installed).
    // showStatusBar and hasShownDefaultHandlerPrompt keep their values.
    void resetToDefaults();
    // Installed by the file-associations manager, which owns the list and its side effects.
    void setFileExtensionsResetHandler(std::function<void()> handler);

signals:
    // Emitted after every write, also when the value did not change.
    void changed(SettingKey key);
    void fontFamilyChanged(const QString &family);
    void fontSizeChanged(qint64 points);
    void fontBoldChanged(bool bold);
    void appearanceModeChanged(const QString &mode);
    void showLineNumbersChanged(bool show);
    void showStatusBarChanged(bool show);
    void reopenDocumentsOnLaunchChanged(bool reopen);
    void editorTextColorChanged(const QString &hex);
    void editorBackgroundColorChanged(const QString &hex);
    void fileExtensionsChanged(const QStringList &extensions);
    void hasShownDefaultHandlerPromptChanged(bool shown);

private:
    // `raw` as the key's type, within the key's range; nothing when it cannot be read so.
    static std::optional<QVariant> converted(SettingKey key, const QVariant &raw);
    std::optional<QVariant> storedValue(SettingKey key) const;
    void store(SettingKey key, const QVariant &value);
    void persist();
    void notify(SettingKey key, const QVariant &value);

    QString m_filePath;
    QSettings m_settings;
    std::function<void()> m_fileExtensionsResetHandler;
};
