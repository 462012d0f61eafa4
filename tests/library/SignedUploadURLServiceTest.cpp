#include "library/OwnFixture.h"

#include "backend/APIError.h"
#include "library/SignedUploadURLService.h"

namespace {

class SignedUploadURLServiceTest : public OwnFixture {
protected:
    std::unique_ptr<SignedUploadURLService> service()
    {
        return std::make_unique<SignedUploadURLService>(defaults_, *api_, clock_, [this] { return device_; });
    }
    void persist(const QString& url, const QString& key, qint64 secondsLeft)
    {
        defaults_.setString(SignedUploadURLService::kUploadURLKey, url);
        defaults_.setString(SignedUploadURLService::kWallpaperKeyKey, key);
        defaults_.setDate(SignedUploadURLService::kExpirationDateKey, clock_.now().addSecs(secondsLeft));
    }
    int addressRequests() { return requests(QStringLiteral("request-upload-url")); }
};

TEST_F(SignedUploadURLServiceTest, ReusesAPairOnlyWhileMoreThanHalfAMinuteRemains)
{
    // Seconds left at creation, whether the persisted pair is adopted, whether a get reuses it.
    const std::tuple<qint64, bool, bool> cases[] = {{31, true, true}, {30, true, false}, {1, true, false}, {0, false, false}};
    for (const auto& [secondsLeft, adopted, reused] : cases) {
        persist(QStringLiteral("https://store.example/u/"), QStringLiteral("42"), secondsLeft);
        const auto signedURLs = service();
        EXPECT_EQ(signedURLs->wallpaperKey().has_value(), adopted) << secondsLeft;
        const int before = addressRequests();
        const auto pair = waitForTask(signedURLs->getSignedUploadURL());
        EXPECT_EQ(addressRequests() - before, reused ? 0 : 1) << secondsLeft;
        EXPECT_EQ(pair.wallpaperKey == QStringLiteral("42"), reused);
        EXPECT_EQ(defaults_.string(SignedUploadURLService::kWallpaperKeyKey), pair.wallpaperKey);
    }
}

TEST_F(SignedUploadURLServiceTest, ForceRefreshAsksAgainAndAFailureKeepsTheEmptyCache)
{
    persist(QStringLiteral("https://store.example/u/"), QStringLiteral("42"), 3600);
    const auto signedURLs = service();
    const auto fresh = waitForTask(signedURLs->forceRefresh());
    EXPECT_NE(fresh.wallpaperKey, QStringLiteral("42"));
    EXPECT_EQ(signedURLs->uploadURL(), fresh.uploadUrl);
    EXPECT_EQ(defaults_.date(SignedUploadURLService::kExpirationDateKey), clock_.now().addSecs(3600));

    setFault(QStringLiteral("request-upload-url"), samplecatalogue::Fault{.status = 503});
    const auto error = failureOf<APIError>(signedURLs->forceRefresh());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->statusCode(), 503);
    EXPECT_FALSE(signedURLs->uploadURL());
    for (const QString& key : {SignedUploadURLService::kUploadURLKey, SignedUploadURLService::kWallpaperKeyKey,
             SignedUploadURLService::kExpirationDateKey})
        EXPECT_FALSE(defaults_.contains(key)) << key.toStdString();
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [SignedUploadURLService] HTTP status code: 503")));
}

} // namespace
