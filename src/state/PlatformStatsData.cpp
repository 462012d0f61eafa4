#include "state/PlatformStatsData.h"

#include "foundation/JsonReader.h"

namespace {
std::optional<QUrl> videoURL(const std::optional<QString>& text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}
} // namespace

PlatformStatsData PlatformStatsData::fromJson(const JsonReader& json)
{
    PlatformStatsData data;
    data.totalWallpapers = json.requiredInt64("total_wallpapers");
    data.baseUrl = json.requiredString("base_url");
    data.explorePageVideo = json.optionalString("explore_page_video");
    data.lockscreenPageVideo = json.optionalString("lockscreen_page_video");
    data.onBoardingScreenVideo = json.optionalString("on_boarding_screen_video");
    data.discordInviteUrl = json.optionalString("discord_invite_url");
    return data;
}

std::optional<QUrl> PlatformStatsData::onboardingVideoURL() const
{
    if (auto onboarding = videoURL(onBoardingScreenVideo))
        return onboarding;
    return videoURL(lockscreenPageVideo);
}
