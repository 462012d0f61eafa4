#include "engine/ApplyHarness.h"

#include "engine/EngineError.h"
#include "engine/LocalVideoResolver.h"

#include <QFileInfo>

namespace {

// What the resolver was asked to report, in order, a run of progress reports counted once.
struct Reports {
    QStringList events;
    void add(const QString& event)
    {
        if (events.isEmpty() || events.last() != event)
            events.append(event);
    }
};

class LocalVideoResolverTest : public ApplyHarness {
protected:
    QString cachedPath(qint64 key) const { return WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(key); }
    // A file in the cache under the key's name, with a record of its size (whole by that rule).
    void cacheWithRecord(qint64 key, const QString& source)
    {
        QDir().mkpath(WallpaperDownloadService::folderPath());
        ASSERT_TRUE(QFile::copy(source, cachedPath(key)));
        QFile record(cachedPath(key) + QStringLiteral(".size"));
        ASSERT_TRUE(record.open(QIODevice::WriteOnly));
        record.write(QByteArray::number(QFileInfo(source).size()));
    }
    QUrl resolve(const LocalVideoResolver::Source& source)
    {
        const LocalVideoResolver::Report report{
            .checking = [this] { reports_.add(QStringLiteral("checking")); },
            .downloading = [this] { reports_.add(QStringLiteral("downloading")); },
            .progress = [this](double) { reports_.add(QStringLiteral("progress")); },
            .downloaded = [this] { reports_.add(QStringLiteral("downloaded")); },
        };
        return waitForTask(LocalVideoResolver::resolve(source, report));
    }

    Reports reports_;
};

class LocalVideoResolverCaseTest;

struct Case {
    const char* name;
    // Puts the files in place and names the source to resolve.
    std::function<LocalVideoResolver::Source(LocalVideoResolverCaseTest&)> arrange;
    // The file resolved; empty when the resolver throws a missing video.
    std::function<QString(LocalVideoResolverCaseTest&)> expected;
    QStringList reports;
    int downloads;
};

const qint64 kKey = 1718000000137;
const qint64 kOwnKey = 424242;
const QStringList kDownloaded{"downloading", "progress", "downloaded"};

class LocalVideoResolverCaseTest : public LocalVideoResolverTest, public ::testing::WithParamInterface<Case> {
public:
    // The fixture's helpers, for the case table.
    QString ownPath() { return custom_.folderPath() + QStringLiteral("/424242.mp4"); }
    LocalVideoResolver::Source own(bool keep, const QString& content = QString())
    {
        const QUrl file = customRequest(kOwnKey).videoURL;
        if (!content.isEmpty()) {
            QFile::remove(file.toLocalFile());
            QFile::copy(content, file.toLocalFile());
        }
        if (!keep)
            QFile::remove(file.toLocalFile());
        return {.key = kOwnKey, .address = file, .isCustom = true};
    }
    using ApplyHarness::cachedRequest;
    using ApplyHarness::clipPath;
    using ApplyHarness::masterUrl;
    using ApplyHarness::notAVideoPath;
    using LocalVideoResolverTest::cachedPath;
    using LocalVideoResolverTest::cacheWithRecord;
};

TEST_P(LocalVideoResolverCaseTest, FindsChecksAndFetchesByOneRule)
{
    const Case& row = GetParam();
    const LocalVideoResolver::Source source = row.arrange(*this);
    const QString expected = row.expected(*this);

    if (expected.isEmpty()) {
        try {
            resolve(source);
            ADD_FAILURE() << "no error";
        } catch (const EngineError& error) {
            EXPECT_EQ(error.kind(), EngineError::Kind::missingVideo);
        }
    } else {
        const QUrl file = resolve(source);
        EXPECT_EQ(file.toLocalFile(), expected);
        EXPECT_TRUE(waitForTask(WallpaperDownloadService::isPlayable(file.toLocalFile())));
    }
    EXPECT_EQ(reports_.events, row.reports);
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(source.key)), row.downloads);
}

INSTANTIATE_TEST_SUITE_P(Sources, LocalVideoResolverCaseTest,
    ::testing::Values(
        Case{"CachedMaster",
            [](auto& f) {
                f.cachedRequest(kKey);
                return LocalVideoResolver::Source{.key = kKey, .address = f.masterUrl(kKey)};
            },
            [](auto& f) { return f.cachedPath(kKey); }, {"checking"}, 0},
        Case{"NothingCached", [](auto& f) { return LocalVideoResolver::Source{.key = kKey, .address = f.masterUrl(kKey)}; },
            [](auto& f) { return f.cachedPath(kKey); }, kDownloaded, 1},
        // Whole by its recorded size, yet no video: removed and fetched again.
        Case{"CachedMasterThatIsNoVideo",
            [](auto& f) {
                f.cacheWithRecord(kKey, f.notAVideoPath());
                return LocalVideoResolver::Source{.key = kKey, .address = f.masterUrl(kKey)};
            },
            [](auto& f) { return f.cachedPath(kKey); }, QStringList{"checking"} + kDownloaded, 1},
        // The saved address is the cached file itself, a page from a portal without a record.
        Case{"SavedCachedFileThatIsNoVideo",
            [](auto& f) {
                QDir().mkpath(WallpaperDownloadService::folderPath());
                QFile::copy(f.notAVideoPath(), f.cachedPath(kKey));
                return LocalVideoResolver::Source{.key = kKey, .address = QUrl::fromLocalFile(f.cachedPath(kKey))};
            },
            [](auto& f) { return f.cachedPath(kKey); }, QStringList{"checking"} + kDownloaded, 1},
        // Cut short after its size was recorded: absent, so fetched without a probe.
        Case{"CutMaster",
            [](auto& f) {
                f.cacheWithRecord(kKey, f.clipPath());
                QFile(f.cachedPath(kKey)).resize(QFileInfo(f.cachedPath(kKey)).size() / 2);
                return LocalVideoResolver::Source{.key = kKey, .address = f.masterUrl(kKey)};
            },
            [](auto& f) { return f.cachedPath(kKey); }, kDownloaded, 1},
        // The caches were cleared: the saved local address comes back from the catalogue by key.
        Case{"SavedCachedFileGone",
            [](auto& f) { return LocalVideoResolver::Source{.key = kKey, .address = QUrl::fromLocalFile(f.cachedPath(kKey))}; },
            [](auto& f) { return f.cachedPath(kKey); }, kDownloaded, 1},
        Case{"OwnVideo", [](auto& f) { return f.own(true); },
            [](auto& f) { return f.ownPath(); }, {"checking"}, 0},
        Case{"OwnVideoGone", [](auto& f) { return f.own(false); }, [](auto&) { return QString(); }, {}, 0},
        // A master cached under the same key is another video: the user's own file is the only source.
        Case{"OwnVideoGoneWhileItsKeyHasACachedMaster",
            [](auto& f) {
                f.cachedRequest(kOwnKey);
                return f.own(false);
            },
            [](auto&) { return QString(); }, {}, 0},
        // The user's file is theirs to mend: it stays.
        Case{"OwnFileThatIsNoVideo", [](auto& f) { return f.own(true, f.notAVideoPath()); }, [](auto&) { return QString(); },
            {"checking"}, 0}),
    [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

TEST_F(LocalVideoResolverTest, OnlyAFailingCachedMasterIsRemoved)
{
    cacheWithRecord(kKey, notAVideoPath());
    EXPECT_FALSE(waitForTask(LocalVideoResolver::find({.key = kKey, .address = masterUrl(kKey)})));
    EXPECT_FALSE(QFileInfo::exists(cachedPath(kKey)));
    EXPECT_FALSE(QFileInfo::exists(cachedPath(kKey) + QStringLiteral(".size")));
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [LocalVideoResolver] Removed a cached master that cannot be played: 1718000000137.mp4")));

    const QString own = temp_.file(QStringLiteral("mine.mp4"));
    ASSERT_TRUE(QFile::copy(notAVideoPath(), own));
    EXPECT_THROW(waitForTask(LocalVideoResolver::find({.key = kKey, .address = QUrl::fromLocalFile(own)})), EngineError);
    EXPECT_TRUE(QFileInfo::exists(own));
}

} // namespace
