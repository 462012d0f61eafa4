#pragma once

#include <QString>

// The application shell's user-defaults keys, all Booleans read as false when absent.
// ("startOnLoginEnabled" and "autoStartWallpaperEngine" belong to the login-item services.)
struct ShellDefaults {
    // A window was shown since the last normal termination.
    static inline const QString hasShownWindowThisSession = QStringLiteral("hasShownWindowThisSession");
    // The windows are hidden because the session started the application at login.
    static inline const QString hiddenDueToLoginLaunch = QStringLiteral("hiddenDueToLoginLaunch");
    // The first-launch rule has run.
    static inline const QString hasLaunchedBefore = QStringLiteral("hasLaunchedBefore");
    // The onboarding sheet was completed with its button.
    static inline const QString onboardingSheetCompleted = QStringLiteral("onboardingSheetCompleted");
    // The first-run sheet of earlier versions was seen: the onboarding sheet is never offered.
    static inline const QString legacyOnboardingCompleted = QStringLiteral("lockScreenFeaturePopupEnabled6");
};
