#include "ui/PosterCardRules.h"

#include <gtest/gtest.h>

namespace {

using Rules = PosterCardRules;

TEST(PosterCardRulesTest, CountText)
{
    const struct {
        qint64 likes;
        int delta;
        qint64 downloads;
        std::optional<QString> shown;
    } cases[] = {
        {3, 0, 16, std::nullopt},               // 19: too few to show
        {3, 1, 16, QStringLiteral("20")},       // liking here reaches 20
        {0, -1, 25, QStringLiteral("25")},      // the like part never goes below zero
        {0, 0, 0, std::nullopt},
        {999, 0, 0, QStringLiteral("999")},
        {1000, 0, 0, QStringLiteral("1k")},
        {1500, 0, 0, QStringLiteral("1.5k")},
        {2000, 0, 0, QStringLiteral("2k")},
        {12345, 0, 0, QStringLiteral("12.3k")},
        {1949, 0, 0, QStringLiteral("1.9k")},
        {1950, 0, 0, QStringLiteral("2k")},     // halves round away from zero
        {999999, 0, 0, QStringLiteral("1000k")}, // no unit past thousands
        {1'000'000'000, 0, 0, QStringLiteral("1000000k")},
        {-50, 0, 10, std::nullopt},
    };
    for (const auto& row : cases)
        EXPECT_EQ(Rules::likeCountText(row.likes, row.delta, row.downloads), row.shown)
            << row.likes << " " << row.delta << " " << row.downloads;
}

TEST(PosterCardRulesTest, NewForFifteenDaysAfterCreation)
{
    const auto local = [](int day, int hour = 0) { return QDateTime(QDate(2026, 1, day), QTime(hour, 0), Qt::LocalTime); };
    const auto utc = [](int day, int hour) { return QDateTime(QDate(2026, 1, day), QTime(hour, 0), Qt::UTC); };
    const struct {
        const char* createdAt;
        QDateTime now;
        bool isNew;
    } cases[] = {
        {"2026-01-01", local(1), true},
        {"2026-01-01", local(16, 23), true},
        {"2026-01-17", local(1), false},          // a day or more ahead
        {"2026-01-02", local(1, 12), true},       // ahead by half a day
        {"2026-01-01", local(17), false},
        {"2026-01-01T10:00:00.123Z", utc(16, 9), true},
        {"2026-01-01T10:00:00Z", utc(17, 11), false},
        {"2026-01-01T10:00:00+02:00", utc(1, 9), true},
        {"2026-01-01T10:00:00+0200", utc(1, 9), true},
        {"", local(1), false},
        {"yesterday", local(1), false},
        {"2026-13-01", local(1), false},
        {"2026-01-01T25:00:00Z", local(1), false},
        {"2026-01-01 10:00", local(1), false},
    };
    for (const auto& row : cases)
        EXPECT_EQ(Rules::isNew(Rules::parseCreatedAt(QString::fromUtf8(row.createdAt)), row.now), row.isNew)
            << row.createdAt << " at " << row.now.toString(Qt::ISODate).toStdString();

    EXPECT_EQ(Rules::parseCreatedAt(QStringLiteral("2026-01-01T10:00:00.123Z")),
        QDateTime(QDate(2026, 1, 1), QTime(10, 0, 0, 123), Qt::UTC));
}

TEST(PosterCardRulesTest, UploadStatusColours)
{
    using Group = Rules::StatusGroup;
    const struct {
        std::optional<QString> status;
        Group group;
    } cases[] = {
        {QStringLiteral("Pending Review"), Group::Pending},
        {QStringLiteral("LIVE"), Group::Approved},
        {QStringLiteral("Published"), Group::Approved},
        {QStringLiteral("Rejected"), Group::Rejected},
        {QStringLiteral("upload failed"), Group::Rejected},
        {QStringLiteral("processing"), Group::Pending},
        {QStringLiteral("In Review"), Group::Pending},
        {QStringLiteral("rejected_by_moderator"), Group::Rejected},
        {QStringLiteral("disapproved"), Group::Rejected},
        {QStringLiteral("unpublished"), Group::Rejected},
        {QStringLiteral("review failed"), Group::Rejected},
        {QStringLiteral("delivered"), Group::Pending},
        {QStringLiteral(""), Group::None},
        {std::nullopt, Group::None},
    };
    for (const auto& row : cases)
        EXPECT_EQ(Rules::uploadStatusGroup(row.status), row.group) << row.status.value_or(QStringLiteral("<none>")).toStdString();
    EXPECT_EQ(Rules::statusColor(Group::None).alpha(), 0);
}

WallpaperModel record(std::optional<qint64> key, const QString& category = QStringLiteral("Nature"))
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = key;
    model.category = category;
    if (key) {
        model.videoUrl = QUrl(QStringLiteral("https://assets.test/wallpaper/%1/preview.mp4").arg(*key));
        model.posterUrl = QUrl(QStringLiteral("https://assets.test/wallpaper/%1/poster.webp").arg(*key));
    }
    return model;
}

TEST(PosterCardRulesTest, WhereThePreviewPlaysFrom)
{
    const QUrl own = QUrl::fromLocalFile(QStringLiteral("/home/me/Videos/own.mp4"));
    const QUrl cachedHd = QUrl::fromLocalFile(QStringLiteral("/cache/videos/previewhd/7.mp4"));
    const QUrl cached = QUrl::fromLocalFile(QStringLiteral("/cache/videos/preview/7.mp4"));
    const QUrl remote(QStringLiteral("https://assets.test/wallpaper/7/preview.mp4"));
    const QUrl remoteHd(QStringLiteral("https://cdn.test/wallpaper/7/previewhd.mp4"));
    const QUrl hostHd(QStringLiteral("https://host.test/wallpaper/7/previewhd.mp4"));
    const std::optional<QString> host = QStringLiteral("host.test");

    WallpaperModel ownVideo = record(std::nullopt, QStringLiteral("Custom"));
    ownVideo.imageUrl = own;
    WallpaperModel ownFileNotCustom = record(std::nullopt);
    ownFileNotCustom.imageUrl = own; // a local .mp4 marks an own video too
    WallpaperModel withHd = record(7);
    withHd.previewhdUrl = remoteHd;
    WallpaperModel noPreview = record(8);
    noPreview.videoUrl.reset();
    WallpaperModel notAVideo = record(9);
    notAVideo.videoUrl = QUrl(QStringLiteral("https://assets.test/wallpaper/9/poster.webp"));

    struct Disk {
        bool hd = false;
        bool preview = false;
        bool master = false;
    };
    const struct {
        const char* name;
        WallpaperModel wallpaper;
        bool hd;
        std::optional<QString> host;
        Disk disk;
        Rules::PreviewPlan plan;
    } cases[] = {
        {"own video plays itself", ownVideo, false, host, {true, true, true}, {own, false, false}},
        {"own file without the category", ownFileNotCustom, true, host, {}, {own, false, false}},
        {"first hover streams and caches", record(7), false, host, {}, {remote, false, true}},
        {"cached preview plays from disk", record(7), false, host, {false, true, false}, {cached, true, false}},
        {"applied wallpaper streams uncached", record(7), false, host, {false, false, true}, {remote, false, false}},
        {"cached HD first", withHd, true, host, {true, true, true}, {cachedHd, true, false}},
        {"record's HD preview", withHd, true, host, {false, false, true}, {remoteHd, false, true}},
        {"HD from the host", record(7), true, host, {}, {hostHd, false, true}},
        {"HD without host", record(7), true, std::nullopt, {}, {}},
        {"no key and no preview", record(std::nullopt), false, host, {true, true, true}, {}},
        {"no preview", noPreview, false, host, {}, {}},
        {"not a video is still tried", notAVideo, false, host, {}, {notAVideo.videoUrl, false, true}},
    };
    for (const auto& row : cases) {
        const Rules::DiskLookups disk{
            [&](qint64) { return row.disk.hd ? std::optional(cachedHd) : std::nullopt; },
            [&](const QUrl&, qint64) { return row.disk.preview ? std::optional(cached) : std::nullopt; },
            [&](qint64) { return row.disk.master; },
        };
        const auto plan = Rules::planPreview(row.wallpaper, row.hd, row.host, disk);
        EXPECT_EQ(plan.play, row.plan.play) << row.name;
        EXPECT_EQ(plan.fromCache, row.plan.fromCache) << row.name;
        EXPECT_EQ(plan.cacheRemote, row.plan.cacheRemote) << row.name;
    }

    WallpaperModel keyless = record(std::nullopt);
    keyless.videoUrl = remote;
    const auto plan = Rules::planPreview(keyless, false, host, {});
    EXPECT_EQ(plan.play, remote);
    EXPECT_FALSE(plan.cacheRemote) << "without a key there is no cache file to name";
}

} // namespace
