// The two settings files read as garbage: whatever they hold, every value reads as its key's type
// or as the default, nothing fails, what is read can be written back and reads the same, and the
// file name the shared store gives new files never leaves their folder.

#include "FuzzCheck.h"
#include "FuzzFiles.h"

#include "AppearanceMode.h"
#include "BookmarkManager.h"
#include "ColorHex.h"
#include "NewFileNaming.h"
#include "Settings.h"
#include "SystemLog.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void checkValues(const Settings &settings)
{
    for (const SettingKey key : Settings::allKeys) {
        const QVariant value = settings.value(key);
        if (key == SettingKey::FileExtensions && !settings.contains(key))
            FUZZ_CHECK(!value.isValid());
        else
            FUZZ_CHECK(value.typeId() == Settings::valueType(key));
    }
    // Consumers read the raw text; anything but the three names behaves like "system".
    const QString appearance = settings.appearanceMode();
    const std::optional<AppearanceMode> mode = appearanceModeFromRaw(appearance);
    const ColorScheme expected = mode == AppearanceMode::Light ? ColorScheme::Light
        : mode == AppearanceMode::Dark                         ? ColorScheme::Dark
                                                               : ColorScheme::None;
    FUZZ_CHECK(colorSchemeForAppearance(appearance) == expected);
    for (const QString &color : {settings.editorTextColor(), settings.editorBackgroundColor()}) {
        if (const std::optional<ColorHex::Rgb> rgb = ColorHex::decodeHexColor(color))
            FUZZ_CHECK(ColorHex::decodeHexColor(ColorHex::encodeHexColor(*rgb)) == rgb);
    }
}

// Writing back what was read stores something that reads back the same.
void checkWriteBack(const QString &path)
{
    QList<std::pair<SettingKey, QVariant>> read;
    {
        Settings settings(path);
        checkValues(settings);
        for (const SettingKey key : Settings::allKeys) {
            if (!settings.contains(key))
                continue;
            read.append({key, settings.value(key)});
            FUZZ_CHECK(settings.setValue(key, settings.value(key)));
        }
    }
    const Settings again(path);
    for (const auto &[key, value] : read) {
        FUZZ_CHECK(again.contains(key));
        FUZZ_CHECK(again.value(key) == value);
    }
}

void checkStore(const QString &path)
{
    BookmarkManager store(path);
    const QString name = store.filename();
    const QString usable = NewFileNaming::usableName(name);
    FUZZ_CHECK(!usable.isEmpty() && usable != u"." && usable != u"..");
    FUZZ_CHECK(!usable.contains(u'/') && !usable.contains(QChar(0)));
    const bool open = store.openAfterCreate();
    store.setFilename(name);
    store.setOpenAfterCreate(open);
    const BookmarkManager again(path);
    FUZZ_CHECK(again.filename() == name);
    FUZZ_CHECK(again.openAfterCreate() == open);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    SystemLog::setSink([](const QString &) {});
    FuzzFiles::startGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString settingsPath = FuzzFiles::write(contents);
    checkWriteBack(settingsPath);
    FuzzFiles::remove(settingsPath);
    const QString storePath = FuzzFiles::write(contents);
    checkStore(storePath);
    FuzzFiles::remove(storePath);
    return 0;
}
