#include "CatalogueClientTest.h"

#include "backend/WallpaperCounterService.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"

namespace {

constexpr qint64 kKey = 1718000000174;

class WallpaperCounterServiceTest : public CatalogueClientTest {
protected:
    WallpaperCounterService counters_{*api_};
};

} // namespace

TEST_F(WallpaperCounterServiceTest, EveryBumpReachesTheBackend)
{
    LogCapture log;
    // The catalogue is shared by the cases, in whatever order they run.
    const int downloads = server().usage().count(kKey, QStringLiteral("downloads"));
    const int likes = server().usage().count(kKey, QStringLiteral("likes"));
    QCoro::waitFor(counters_.incrementDownloads(kKey));
    QCoro::waitFor(counters_.incrementDownloads(kKey));
    QCoro::waitFor(counters_.incrementLikes(kKey));

    EXPECT_EQ(server().usage().count(kKey, QStringLiteral("downloads")), downloads + 2);
    EXPECT_EQ(server().usage().count(kKey, QStringLiteral("likes")), likes + 1);
    EXPECT_EQ(lastRequest(QStringLiteral("increment-wallpaper")).query,
        (QList<std::pair<QString, QString>>{{QStringLiteral("key"), QString::number(kKey)},
            {QStringLiteral("type"), QStringLiteral("likes")}}));
    const QString downloaded = QStringLiteral("✅ [WallpaperCounterService] Successfully incremented downloads counter for wallpaper %1").arg(kKey);
    EXPECT_EQ(log.lines().count(downloaded), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [WallpaperCounterService] Successfully incremented likes counter for wallpaper %1").arg(kKey)));
    EXPECT_FALSE(log.contains(QStringLiteral("Cache")));
}

TEST_F(WallpaperCounterServiceTest, NegativeKeysKeepTheirSign)
{
    QCoro::waitFor(counters_.incrementLikes(-4242));
    EXPECT_EQ(lastRequest(QStringLiteral("increment-wallpaper")).query.first(), std::pair(QStringLiteral("key"), QStringLiteral("-4242")));
    EXPECT_EQ(server().usage().count(-4242, QStringLiteral("likes")), 1);
}

TEST_F(WallpaperCounterServiceTest, FailuresEndInALogLine)
{
    LogCapture log;
    QCoro::waitFor(counters_.incrementDownloads(42)); // not in the catalogue
    EXPECT_EQ(log.lines().last(), QStringLiteral("❌ [WallpaperCounterService] Failed to increment counter: HTTP error with status code: 404"));
    EXPECT_FALSE(log.contains(QStringLiteral("Successfully")));

    APIService::Settings offline = settings();
    offline.baseURL = QStringLiteral("https://127.0.0.1:1/functions/v1");
    const auto unreachable = client(offline);
    WallpaperCounterService offlineCounters(*unreachable);
    QCoro::waitFor(offlineCounters.incrementDownloads(kKey));
    EXPECT_TRUE(log.lines().last().startsWith(QStringLiteral("❌ [WallpaperCounterService] Failed to increment counter: Network error: ")));
}

TEST_F(WallpaperCounterServiceTest, AddressThatCannotBeBuiltSendsNothing)
{
    APIService::Settings broken = settings();
    broken.baseURL = QStringLiteral("https://exa mple.org/functions/v1");
    const auto api = client(broken);
    WallpaperCounterService brokenCounters(*api);
    LogCapture log;
    QCoro::waitFor(brokenCounters.incrementLikes(kKey));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("❌ [WallpaperCounterService] Invalid URL for increment-wallpaper")});
}

// A counter over the shared client, made while a test's client stood in for it, bumps through
// the one shared when the bump starts: the stand-in is gone by then.
TEST_F(WallpaperCounterServiceTest, ACounterOverTheSharedClientUsesTheOneOfTheMoment)
{
    std::unique_ptr<WallpaperCounterService> counters;
    {
        APIService::Settings gone = settings();
        gone.baseURL = QStringLiteral("https://127.0.0.1:1/functions/v1");
        const auto standIn = client(gone);
        Shared<APIService>::Override override(*standIn);
        counters = std::make_unique<WallpaperCounterService>();
    }
    Shared<APIService>::Override shared(*api_);
    const int before = server().usage().count(kKey, QStringLiteral("downloads"));
    QCoro::waitFor(counters->incrementDownloads(kKey));
    EXPECT_EQ(server().usage().count(kKey, QStringLiteral("downloads")), before + 1);
}
