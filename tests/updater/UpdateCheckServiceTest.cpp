#include "UpdaterFixture.h"
#include "foundation/Log.h"
#include "support/TaskWait.h"
#include "updater/UpdateInfo.h"

#include <gtest/gtest.h>

namespace {

const QString kNoUpdate = QStringLiteral("ℹ️ [UpdateCheckService] Update check complete - no update available");

class UpdateCheckServiceTest : public UpdaterFixture {
protected:
    std::optional<UpdateInfo> check() { return waitForTask(service().checkForUpdates()); }

    LogCapture log_;
};

TEST_F(UpdateCheckServiceTest, FindsANewerVersionAndItsAddress)
{
    serveFeed(QStringLiteral("1.3"), QStringLiteral("Quorvelle.zip"));
    const auto info = check();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->downloadURL, QUrl(catalogue_.server().baseUrl() + QStringLiteral("/updates/Quorvelle.zip")));
    EXPECT_EQ(log_.lines(), (QStringList{
        QStringLiteral("🔄 [UpdateCheckService] Starting update check..."),
        QStringLiteral("📱 [UpdateCheckService] Current app version: 1.2 (build: 7)"),
        QStringLiteral("📱 [UpdateCheckService] App bundle path: ") + installedBundle(),
        QStringLiteral("📦 [UpdateCheckService] Appcast shortVersionString: 1.3"),
        QStringLiteral("🔍 [UpdateCheckService] Version comparison: 1.3 > 1.2 = true"),
        QStringLiteral("✅ [UpdateCheckService] Update check complete - update available"),
    }));
}

struct NoUpdateCase {
    const char* name;
    QByteArray feed;
    QString line; // the line before the closing one

    friend void PrintTo(const NoUpdateCase& c, std::ostream* out) { *out << c.name; }
};

class NoUpdateTest : public UpdateCheckServiceTest, public ::testing::WithParamInterface<NoUpdateCase> {};

TEST_P(NoUpdateTest, EndsWithoutAnUpdate)
{
    serveFeedText(GetParam().feed);
    EXPECT_FALSE(check());
    const QStringList lines = log_.lines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.last(), kNoUpdate);
    EXPECT_EQ(lines[lines.size() - 2], GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Feeds, NoUpdateTest,
    ::testing::Values(
        NoUpdateCase{"Equal", R"(<rss><enclosure url="https://x/Q.zip" sparkle:shortVersionString="1.2"/></rss>)",
            QStringLiteral("ℹ️ [UpdateCheckService] Versions are equal (1.2 == 1.2), no update needed")},
        NoUpdateCase{"EqualButLonger", R"(<rss><enclosure url="https://x/Q.zip" sparkle:shortVersionString="1.2.0"/></rss>)",
            QStringLiteral("🔍 [UpdateCheckService] Version comparison: 1.2.0 > 1.2 = false")},
        NoUpdateCase{"Older", R"(<rss><enclosure url="https://x/Q.zip" sparkle:version="1.1.9"/></rss>)",
            QStringLiteral("🔍 [UpdateCheckService] Version comparison: 1.1.9 > 1.2 = false")},
        NoUpdateCase{"NoVersion", R"(<rss><enclosure url="https://x/Q.zip"/></rss>)",
            QStringLiteral("⚠️ [UpdateCheckService] Could not extract version from appcast")},
        NoUpdateCase{"NotXml", "sparkle:shortVersionString=\"9.0\" url=\"https://x/Q.zip\" <<<",
            QStringLiteral("⚠️ [UpdateCheckService] Could not extract version from appcast")},
        NoUpdateCase{"NotUtf8", "<rss sparkle:shortVersionString=\"9.0\xff\"/>",
            QStringLiteral("⚠️ [UpdateCheckService] Could not extract version from appcast")},
        // Newer, but with nothing to download: never the feed itself.
        NoUpdateCase{"NoAddress", R"(<rss><enclosure sparkle:shortVersionString="2.0"/></rss>)",
            QStringLiteral("⚠️ [UpdateCheckService] No download address in appcast")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(UpdateCheckServiceTest, ReportsAnErrorStatusAsAnInvalidResponse)
{
    samplecatalogue::Fault fault;
    fault.status = 404;
    catalogue_.server().setFault(QStringLiteral("/appcast.xml"), fault);
    EXPECT_FALSE(check());
    EXPECT_EQ(log_.lines().last(), QStringLiteral("⚠️ [UpdateCheckService] Invalid response: HTTP status 404 from ")
            + catalogue_.config().updateFeedUrl.toString());
}

TEST_F(UpdateCheckServiceTest, ReportsAFailedFetch)
{
    catalogue_.server().stop();
    EXPECT_FALSE(check());
    EXPECT_TRUE(log_.lines().last().startsWith(QStringLiteral("❌ [UpdateCheckService] Update check failed: ")));
}

TEST_F(UpdateCheckServiceTest, AFeedWithoutEndIsAFailedFetch)
{
    catalogue_.server().setFault(QStringLiteral("/appcast.xml"), samplecatalogue::Fault{.endless = true});
    EXPECT_FALSE(check());
    EXPECT_EQ(log_.lines().last(), QStringLiteral("❌ [UpdateCheckService] Update check failed: The reply is longer than the 32 MiB allowed."));
}

TEST_F(UpdateCheckServiceTest, ABundleWithoutVersionsCountsAsVersionZero)
{
    environment().runningBundle.shortVersion.reset();
    environment().runningBundle.build.reset();
    serveFeed(QStringLiteral("0.0.1"), QStringLiteral("Quorvelle.zip"));
    EXPECT_TRUE(check());
    EXPECT_TRUE(log_.contains(QStringLiteral("📱 [UpdateCheckService] Current app version: 0.0.0 (build: 0)")));
}

} // namespace
