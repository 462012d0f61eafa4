#include "DetailFixture.h"

#include "engine/CheckedVideoFile.h"
#include "screens/detail/PreviewSourceChain.h"

#include <QDir>
#include <QFile>

namespace {

// Checks a candidate by asking the test: each check waits until the test answers it.
class ScriptedChecks {
public:
    PreviewSourceChain::Check check()
    {
        return [this](const QUrl& url, std::function<void(bool)> done) { pending_.append({url, std::move(done)}); };
    }
    QList<QUrl> asked() const
    {
        QList<QUrl> urls;
        for (const auto& [url, done] : pending_)
            urls.append(url);
        return urls;
    }
    // Answers the check at `index` (counted over every check asked so far).
    void answer(int index, bool playable) { pending_[index].second(playable); }

private:
    QList<std::pair<QUrl, std::function<void(bool)>>> pending_;
};

class PreviewSourceChainTest : public DetailFixture {
protected:
    QUrl previewUrl() const { return *const_cast<PreviewSourceChainTest*>(this)->catalogueRecord().previewhdUrl; }
    QString previewPath() { return previewUrl().path(); }
    QUrl cacheHdPreview(const QString& from)
    {
        QDir().mkpath(VideoCacheService::hdPreviewFolder());
        const QString path = VideoCacheService::hdPreviewFolder() + u'/' + QString::number(kCatalogueKey) + QStringLiteral(".mp4");
        // Stored as the cache stores it: with its size recorded.
        QFile::copy(from, path + QStringLiteral(".part"));
        CheckedVideoFile::store(path + QStringLiteral(".part"), path, DownloadDurability::Cache);
        return QUrl::fromLocalFile(path);
    }
    QUrl masterFile() { return QUrl::fromLocalFile(WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kCatalogueKey)); }

    ScriptedChecks checks_;
};

TEST_F(PreviewSourceChainTest, LocalCopiesComeFirstAndABrokenOneFallsThroughToTheStream)
{
    cachedRequest();
    const QUrl hd = cacheHdPreview(clipPath());
    PreviewSourceChain chain(catalogueRecord(), false, checks_.check());
    chain.loadVideo();
    EXPECT_TRUE(chain.isLoading());
    EXPECT_EQ(checks_.asked(), QList<QUrl>{masterFile()});

    checks_.answer(0, false); // the downloaded master is broken
    checks_.answer(1, false); // and so is the cached HD preview
    EXPECT_EQ(checks_.asked(), (QList<QUrl>{masterFile(), hd, previewUrl()}));
    checks_.answer(2, true);
    EXPECT_TRUE(chain.isVideoReady());
    EXPECT_FALSE(chain.isLoading());
    EXPECT_EQ(chain.videoUrl(), previewUrl());
    // The stream is cached for the next visit.
    EXPECT_TRUE(waitUntil([&] { return videoCache_.cachedHDPreviewUrl(kCatalogueKey) && catalogue_.server().requestCount(previewPath()) == 1; }));
}

TEST_F(PreviewSourceChainTest, WithoutACopyTheStreamPlaysAtOnceAndIsCachedOnce)
{
    struct Case {
        const char* name;
        bool keyed;
        int downloads;
    };
    for (const Case& c : {Case{"catalogue record", true, 1}, Case{"record without key", false, 0}}) {
        SCOPED_TRACE(c.name);
        catalogue_.server().clearRequests();
        WallpaperModel record = catalogueRecord();
        if (!c.keyed)
            record.key.reset();
        ScriptedChecks checks;
        PreviewSourceChain chain(record, false, checks.check());
        chain.loadVideo();
        EXPECT_EQ(checks.asked(), QList<QUrl>{previewUrl()});
        if (c.keyed)
            EXPECT_TRUE(waitUntil([&] { return videoCache_.cachedHDPreviewUrl(kCatalogueKey).has_value(); }));
        else
            QTest::qWait(300);
        EXPECT_EQ(catalogue_.server().requestCount(previewPath()), c.downloads);
        QFile::remove(VideoCacheService::hdPreviewFolder() + u'/' + QString::number(kCatalogueKey) + QStringLiteral(".mp4"));
    }
}

TEST_F(PreviewSourceChainTest, NothingToPlayLeavesThePosterAndAnOwnVideoIsNeverLookedUp)
{
    WallpaperModel bare = catalogueRecord();
    bare.previewhdUrl.reset(); // no asset host known either
    PreviewSourceChain none(bare, false, checks_.check());
    none.loadVideo();
    EXPECT_FALSE(none.isLoading());
    EXPECT_TRUE(checks_.asked().isEmpty());

    cachedRequest();
    WallpaperModel own = catalogueRecord();
    own.previewhdUrl = QUrl::fromLocalFile(QStringLiteral("/nonexistent/own.mp4"));
    PreviewSourceChain custom(own, true, checks_.check());
    custom.loadVideo();
    EXPECT_EQ(checks_.asked(), QList<QUrl>{*own.previewhdUrl});
    checks_.answer(0, false);
    EXPECT_FALSE(custom.isLoading());
    EXPECT_FALSE(custom.isVideoReady());
}

TEST_F(PreviewSourceChainTest, AnAnswerToAnEarlierLoadIsDropped)
{
    cacheHdPreview(clipPath());
    PreviewSourceChain chain(catalogueRecord(), false, checks_.check());
    chain.loadVideo();
    chain.loadVideo();
    checks_.answer(0, false); // would fall back to the stream
    EXPECT_EQ(checks_.asked().size(), 2);
    EXPECT_TRUE(chain.isLoading());
    checks_.answer(1, true);
    EXPECT_TRUE(chain.isVideoReady());
    EXPECT_EQ(chain.videoUrl().scheme(), QStringLiteral("file"));
}

} // namespace
