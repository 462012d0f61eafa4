#include "foundation/Config.h"
#include "foundation/JsonError.h"
#include "foundation/JsonReader.h"
#include "foundation/Shared.h"
#include "state/AssetHost.h"
#include "state/PlatformStats.h"

#include <gtest/gtest.h>

namespace {
PlatformStatsData decode(const char* json)
{
    return PlatformStats::fromJson(JsonReader::parse(QByteArray(json))).data;
}

TEST(PlatformStatsDataTest, RequiredFieldsAloneDecode)
{
    const PlatformStatsData data = decode(R"({"data":{"total_wallpapers":120,"base_url":"cdn.example.org"},"extra":1})");
    EXPECT_EQ(data.totalWallpapers, 120);
    EXPECT_EQ(data.baseUrl, QStringLiteral("cdn.example.org"));
    EXPECT_EQ(data.explorePageVideo, std::nullopt);
    EXPECT_EQ(data.lockscreenPageVideo, std::nullopt);
    EXPECT_EQ(data.onBoardingScreenVideo, std::nullopt);
    EXPECT_EQ(data.discordInviteUrl, std::nullopt);
}

TEST(PlatformStatsDataTest, OptionalTextsMayBeNullButNotOfAnotherType)
{
    const PlatformStatsData data = decode(R"({"data":{"total_wallpapers":1,"base_url":"h","explore_page_video":null,
        "discord_invite_url":"https://chat.example.org/x","unknown":[1]}})");
    EXPECT_EQ(data.explorePageVideo, std::nullopt);
    EXPECT_EQ(data.discordInviteUrl, QStringLiteral("https://chat.example.org/x"));
}

TEST(PlatformStatsDataTest, BrokenDocumentsFailWhole)
{
    const char* broken[] = {
        R"({"data":{"total_wallpapers":1,"base_url":"h","explore_page_video":5}})",
        R"({"data":{"total_wallpapers":"120","base_url":"h"}})",
        R"({"data":{"total_wallpapers":9223372036854775808,"base_url":"h"}})",
        R"({"data":{"base_url":"h"}})",
        R"({"data":{"total_wallpapers":1,"base_url":null}})",
        R"({"data":null})",
        R"({"total_wallpapers":1,"base_url":"h"})",
        R"([{"data":{"total_wallpapers":1,"base_url":"h"}}])",
        R"({"data":{"total_wallpapers":1,"base_url":"h"})",
    };
    for (const char* json : broken)
        EXPECT_THROW(decode(json), JsonError) << json;
}

TEST(PlatformStatsDataTest, OnboardingVideoFallsBackToTheLockScreenVideo)
{
    PlatformStatsData data;
    EXPECT_EQ(data.onboardingVideoURL(), std::nullopt);
    data.lockscreenPageVideo = QStringLiteral("https://a.example/lock.mp4");
    data.onBoardingScreenVideo = QString();
    EXPECT_EQ(data.onboardingVideoURL(), QUrl(QStringLiteral("https://a.example/lock.mp4")));
    data.onBoardingScreenVideo = QStringLiteral("https://a.example/onboarding.mp4");
    EXPECT_EQ(data.onboardingVideoURL(), QUrl(QStringLiteral("https://a.example/onboarding.mp4")));
    data.onBoardingScreenVideo = QStringLiteral("https://a.example/has space.mp4");
    EXPECT_EQ(data.onboardingVideoURL(), QUrl(QStringLiteral("https://a.example/lock.mp4"))) << "not a valid URL";
}

TEST(AssetHostTest, AcceptsOnlyABareHostWithAnOptionalPort)
{
    for (const char* host : {"cdn.example.org", "cdn.example.org:8443", "127.0.0.1:48443", "[::1]:8443", "localhost",
             "a-b.example"})
        EXPECT_EQ(AssetHost::validated(QString::fromLatin1(host)), QString::fromLatin1(host)) << host;
    for (const char* host : {"https://cdn.example.org", "cdn.example.org/", "cdn.example.org/x", " cdn.example.org",
             "cdn.example.org ", "user@cdn.example.org", "cdn.example.org:99999", "cdn.example.org:", "-a.example",
             "cdn.example.org?x=1", "cdn..example.org", "[zz]:1", ""})
        EXPECT_EQ(AssetHost::validated(QString::fromLatin1(host)), std::nullopt) << host;
}

TEST(AssetHostTest, FallbackIsTheBackendsHostAndPort)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("https://127.0.0.1:48443/functions/v1"), QStringLiteral("127.0.0.1:48443")},
        {QStringLiteral("https://api.example.org/functions/v1"), QStringLiteral("api.example.org")},
        {QStringLiteral("https://[::1]:9/functions/v1"), QStringLiteral("[::1]:9")},
    };
    for (const auto& [backend, host] : cases) {
        Config config;
        config.backendBaseUrl = QUrl(backend);
        Shared<Config>::Override installed(config);
        EXPECT_EQ(AssetHost::fallback(), host);
        EXPECT_EQ(AssetHost::validated(AssetHost::fallback()), host);
    }
}
} // namespace
