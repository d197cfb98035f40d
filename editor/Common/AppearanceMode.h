#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The user's choice of light or dark document windows, stored as its raw value under the
// "appearanceMode" setting.
enum class AppearanceMode {
    System,
    Light,
    Dark,
};

// The order of the Preferences radio group.
inline constexpr std::array<AppearanceMode, 3> allAppearanceModes {
    AppearanceMode::System,
    AppearanceMode::Light,
    AppearanceMode::Dark,
};

// "system", "light", "dark": what the settings file holds.
QString appearanceModeRawValue(AppearanceMode mode);
// "System Default", "Light", "Dark": what Preferences shows.
QString appearanceModeTitle(AppearanceMode mode);
// Exact and case-sensitive: "Dark" is no mode, so no radio button shows as selected for it.
std::optional<AppearanceMode> appearanceModeFromRaw(QStringView raw);

// The palette a document window asks for; None follows the application palette.
enum class ColorScheme {
    None,
    Light,
    Dark,
};

// Works on the stored string rather than a parsed mode, because anything that is not exactly
// "light" or "dark" (including a mistyped value) must behave like "system".
ColorScheme colorSchemeForAppearance(QStringView storedAppearanceMode);
