#include "library/OwnFixture.h"
#include "support/TestPaths.h"

#include "library/OwnVideoFacts.h"
#include "screens/own/UploadIntake.h"

#include <cmath>
#include <limits>

namespace {

TEST(OwnVideoFactsTest, TitlesFromFileNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"my-cool_wallpaper-4k-HD.mp4", "My Cool_wallpaper"},
        {"Live Wallpaper.mp4", "Live Wallpaper"},
        {"gravelnook-forest-1080p.mp4", "Forest 1080p"},
        {"NEON CITY 4K.mp4", "Neon City"},
        {"sunset--beach.mp4", "Sunset Beach"},
        {"ocean.waves.mp4", "Ocean.waves"},
        {"cyber-city-4k-live-wallpaper.mp4", "Cyber City"},
        {"4k-wallpaper.mp4", "4k-wallpaper"},
        {"hd.mp4", "hd"},
        {"$(rm -rf ~) \"quoted\"\nline.mp4", "$(rm Rf ~) \"quoted\"\nline"},
        // Names that would show nothing on a card.
        {"\x1b[31m\x07\r\n.mp4", "Untitled Video"},
        {"\x01\x02\x7f.mp4", "Untitled Video"},
        {" .mp4", "Untitled Video"},
        {"\u200b.mp4", "Untitled Video"},
        {"\x1b[1mbold\x1b[0m.mp4", "\x1b[1mbold\x1b[0m"},
    };
    for (const auto& [file, title] : cases)
        EXPECT_EQ(OwnVideoFacts::wallpaperTitle(QString::fromUtf8(file)), QString::fromUtf8(title)) << file;
}

TEST(OwnVideoFactsTest, TextsAndTheirLimits)
{
    OwnVideoFacts facts;
    const std::tuple<qint64, const char*> sizes[] = {{5'242'880, "5MB"}, {1000, "0MB"}, {209'715'199, "200MB"}};
    for (const auto& [bytes, text] : sizes) {
        facts.bytes = bytes;
        EXPECT_EQ(facts.sizeText(), QLatin1String(text));
    }
    const std::tuple<double, std::optional<QString>> durations[] = {{75.9, QStringLiteral("1:15s")}, {59.99, QStringLiteral("0:59s")},
        {600, QStringLiteral("10:00s")}, {std::nan(""), std::nullopt}, {std::numeric_limits<double>::infinity(), std::nullopt},
        {-1, std::nullopt}};
    for (const auto& [seconds, text] : durations) {
        facts.durationSeconds = seconds;
        EXPECT_EQ(facts.durationText(), text) << seconds;
    }
    facts.naturalSize = QSize(3840, 2160);
    EXPECT_TRUE(facts.is4k());
    facts.naturalSize = QSize(4096, 2160);
    EXPECT_FALSE(facts.is4k());
    EXPECT_EQ(facts.resolutionText(), QStringLiteral("4096×2160"));
    // A record keeps no length it cannot state.
    facts.durationSeconds = std::nan("");
    EXPECT_EQ(facts.record(QUrl::fromLocalFile(QStringLiteral("/v.mp4")), 1, QStringLiteral("T"), QStringLiteral("Custom")).duration,
        QStringLiteral("0:00s"));
}

TEST(OwnVideoFactsTest, ValidationNamesEveryBrokenLimit)
{
    const auto facts = [](std::optional<QSize> size, qint64 bytes, double seconds) {
        OwnVideoFacts value;
        value.naturalSize = size;
        value.bytes = bytes;
        value.durationSeconds = seconds;
        return value;
    };
    const QString resolution = QStringLiteral("Resolution must be at least 3840×2160 (4K) (current: %1)");
    const struct {
        OwnVideoFacts facts;
        QStringList messages;
    } cases[] = {
        {facts(QSize(3840, 2160), 45 << 20, 30.5), {}},
        {facts(QSize(5120, 2880), 1, 1), {}},
        {facts(QSize(2160, 3840), 1, 1), {resolution.arg(QStringLiteral("2160×3840"))}},
        {facts(QSize(3840, 1600), 1, 1), {resolution.arg(QStringLiteral("3840×1600"))}},
        {facts(QSize(1920, 1080), qint64(300) << 20, 90),
            {resolution.arg(QStringLiteral("1920×1080")), QStringLiteral("File size must be less than 200 MB (current: 300.0 MB)"),
                QStringLiteral("Duration must be less than 60 seconds (current: 1:30s)")}},
        {facts(std::nullopt, 1, 1), {resolution.arg(QStringLiteral("unknown"))}},
        {facts(QSize(3840, 2160), 209'715'200, 60.0),
            {QStringLiteral("File size must be less than 200 MB (current: 200.0 MB)"),
                QStringLiteral("Duration must be less than 60 seconds (current: 1:00s)")}},
        {facts(QSize(3840, 2160), 209'715'199, 59.99), {}},
    };
    for (const auto& row : cases)
        EXPECT_EQ(UploadIntake::validate(row.facts), row.messages) << row.messages.join(QLatin1Char('|')).toStdString();
}

class UploadIntakeTest : public OwnFixture {};

TEST_F(UploadIntakeTest, AcceptableVideoBecomesTheCandidate)
{
    const QString path = copyOf(Clip::Uhd, QStringLiteral("neon-night_drive-4k.mp4"));
    const auto outcome = waitForTask(UploadIntake::examine(path, media_));
    ASSERT_TRUE(outcome.isSuccess()) << outcome.error().toStdString();
    const WallpaperModel& candidate = outcome.value();
    EXPECT_FALSE(candidate.key);
    EXPECT_EQ(candidate.title, QStringLiteral("Neon Night_drive"));
    EXPECT_EQ(candidate.category, QStringLiteral("Custom"));
    EXPECT_EQ(candidate.resolution, QStringLiteral("3840×2160"));
    EXPECT_EQ(candidate.duration, QStringLiteral("0:01s"));
    EXPECT_TRUE(candidate.is_4k);
    for (const auto& url : {candidate.imageUrl, candidate.posterUrl, candidate.videoUrl, candidate.previewhdUrl, candidate.masterUrl})
        EXPECT_EQ(url, QUrl::fromLocalFile(path));
}

TEST_F(UploadIntakeTest, EveryBadFileGetsItsReason)
{
    // In the user's words: FFmpeg's reason and the file's path are for the log.
    const QString kNoVideo = QStringLiteral("This file is not a video Quorvelle can play.");
    const QString missing = temp_.file(QStringLiteral("gone.mp4"));
    const QString empty = temp_.file(QStringLiteral("empty.mp4"));
    QFile(empty).open(QIODevice::WriteOnly);
    const struct {
        QString path;
        QStringList fragments;
    } cases[] = {
        {TestPaths::dataFile(QStringLiteral("not-a-video.mp4")), {kNoVideo}},
        {missing, {QStringLiteral("Failed to process wallpaper: "), QStringLiteral("does not exist")}},
        {empty, {kNoVideo}},
        {clip(Clip::AudioOnly), {QStringLiteral("(current: unknown)")}},
        {clip(Clip::UhdMatroska), {QStringLiteral("Failed to process wallpaper: The file is not an MP4 video.")}},
        {clip(Clip::SmallLong), {QStringLiteral("(current: 320×180)"), QStringLiteral("(current: 1:15s)")}},
        {clip(Clip::UhdTooBigAndLong), {QStringLiteral("File size must be less than 200 MB (current: 250.0 MB)\n\nDuration must be "
                                                      "less than 60 seconds (current: 1:01s)")}},
    };
    for (const auto& row : cases) {
        const auto outcome = waitForTask(UploadIntake::examine(row.path, media_));
        ASSERT_TRUE(outcome.isFailure()) << row.path.toStdString();
        for (const QString& fragment : row.fragments)
            EXPECT_TRUE(outcome.error().contains(fragment)) << outcome.error().toStdString();
        if (row.fragments == QStringList{kNoVideo}) {
            EXPECT_EQ(outcome.error(), kNoVideo);
        }
    }
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [CustomView] Failed to create temporary wallpaper: The file is not a readable video")));
}

} // namespace
