#pragma once

#include <QMetaType>
#include <QString>
#include <QUrl>

#include <optional>

class JsonReader;

// The backend's platform-wide figures: the catalogue size, the host of the wallpaper files and
// the addresses of the videos that decorate several screens. Read-only once decoded.
struct PlatformStatsData {
    qint64 totalWallpapers = 0;
    QString baseUrl;                             // the asset host, exactly as received
    std::optional<QString> explorePageVideo;     // URL texts; each reader parses its own
    std::optional<QString> lockscreenPageVideo;
    std::optional<QString> onBoardingScreenVideo;
    std::optional<QString> discordInviteUrl;

    // "total_wallpapers" and "base_url" are required and typed; the optional texts may be
    // absent or null but must be strings otherwise. Throws JsonError; nothing partial.
    static PlatformStatsData fromJson(const JsonReader& json);

    // The onboarding video, else the lock-screen video: the first that is a non-empty, valid URL.
    std::optional<QUrl> onboardingVideoURL() const;

    bool operator==(const PlatformStatsData&) const = default;
};

Q_DECLARE_METATYPE(PlatformStatsData)
