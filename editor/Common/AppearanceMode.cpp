#include "AppearanceMode.h"

#include <QCoreApplication>

QString appearanceModeRawValue(AppearanceMode mode)
{
    switch (mode) {
    case AppearanceMode::System:
        return QStringLiteral("system");
    case AppearanceMode::Light:
        return QStringLiteral("light");
    case AppearanceMode::Dark:
        return QStringLiteral("dark");
    }
    Q_UNREACHABLE();
    return {};
}

QString appearanceModeTitle(AppearanceMode mode)
{
    switch (mode) {
    case AppearanceMode::System:
        return QCoreApplication::translate("AppearanceMode", "System Default");
    case AppearanceMode::Light:
        return QCoreApplication::translate("AppearanceMode", "Light");
    case AppearanceMode::Dark:
        return QCoreApplication::translate("AppearanceMode", "Dark");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<AppearanceMode> appearanceModeFromRaw(QStringView raw)
{
    for (const AppearanceMode mode : allAppearanceModes) {
        if (raw == appearanceModeRawValue(mode))
            return mode;
    }
    return std::nullopt;
}

ColorScheme colorSchemeForAppearance(QStringView storedAppearanceMode)
{
    switch (appearanceModeFromRaw(storedAppearanceMode).value_or(AppearanceMode::System)) {
    case AppearanceMode::System:
        return ColorScheme::None;
    case AppearanceMode::Light:
        return ColorScheme::Light;
    case AppearanceMode::Dark:
        return ColorScheme::Dark;
    }
    Q_UNREACHABLE();
    return ColorScheme::None;
}
