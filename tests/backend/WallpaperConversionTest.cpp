#include "backend/WallpaperResponseItem.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

WallpaperResponseItem item(qint64 width, qint64 height, qint64 bytes, qint64 seconds)
{
    WallpaperResponseItem item;
    item.key = 123;
    item.title = QStringLiteral("Aurora");
    item.downloads = 5;
    item.likes = 6;
    item.categoryId = 4;
    item.resolutionWidth = width;
    item.resolutionHeight = height;
    item.fileSize = bytes;
    item.durationSeconds = seconds;
    item.createdAt = QStringLiteral("2025-02-08T03:07:49.209865+00:00");
    return item;
}

struct TextsCase {
    const char* name;
    qint64 width, height, bytes, seconds;
    const char* resolution;
    const char* fileSize;
    const char* duration;
    bool is4k;
};

class WallpaperConversionTextsTest : public ::testing::TestWithParam<TextsCase> {};

TEST_P(WallpaperConversionTextsTest, FormatsTheDisplayTexts)
{
    const TextsCase& c = GetParam();
    const WallpaperModel model = item(c.width, c.height, c.bytes, c.seconds).toWallpaperModel(QStringLiteral("a.example"), {});
    // A null text: the fact is left absent.
    const auto text = [](const char* utf8) { return utf8 ? std::optional(QString::fromUtf8(utf8)) : std::nullopt; };
    EXPECT_EQ(model.resolution, text(c.resolution));
    EXPECT_EQ(model.fileSize, text(c.fileSize));
    EXPECT_EQ(model.duration, text(c.duration));
    EXPECT_EQ(model.is_4k, c.is4k);
}

INSTANTIATE_TEST_SUITE_P(Texts, WallpaperConversionTextsTest,
    ::testing::Values(TextsCase{"exact4k", 3840, 2160, 50 * 1048576, 75, "3840×2160", "50MB", "1:15s", true},
        TextsCase{"portrait4k", 2160, 3840, 1048576, 5, "2160×3840", "1MB", "0:05s", false},
        TextsCase{"fullWidthShortHeight", 3840, 1600, 1048576, 5, "3840×1600", "1MB", "0:05s", false},
        TextsCase{"fiveK", 5120, 2880, 1048576, 600, "5120×2880", "1MB", "10:00s", false},
        TextsCase{"underHalfMegabyte", 1920, 1080, 500'000, 59, "1920×1080", "0MB", "0:59s", false},
        TextsCase{"roundsUp", 1920, 1080, 1048576 * 3 / 2 + 1, 3600, "1920×1080", "2MB", "60:00s", false},
        TextsCase{"zero", 0, 0, 0, 0, "0×0", "0MB", "0:00s", false},
        // Nonsense a reply may carry is no fact to show.
        TextsCase{"negative", -1, -5, -1, -8, nullptr, nullptr, nullptr, false},
        TextsCase{"oneNegativeSide", 1920, -1080, 1048576, 60, nullptr, "1MB", "1:00s", false},
        TextsCase{"absurd", 1 << 20, 1080, std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max(), nullptr, nullptr,
            nullptr, false},
        TextsCase{"hugeButReal", 7680, 4320, qint64(20) << 30, 24 * 3600, "7680×4320", "20480MB", "1440:00s", false},
        TextsCase{"lowest", std::numeric_limits<qint64>::min(), 1, std::numeric_limits<qint64>::min(),
            std::numeric_limits<qint64>::min(), nullptr, nullptr, nullptr, false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace

TEST(WallpaperConversionTest, AddressesComeFromTheKeyAndTheHost)
{
    WallpaperResponseItem source = item(3840, 2160, 1, 1);
    source.for_lockscreen = true;
    const WallpaperModel model = source.toWallpaperModel(QStringLiteral("127.0.0.1:48443"), QStringLiteral("Space"));
    const QString base = QStringLiteral("https://127.0.0.1:48443/wallpaper/123/");
    EXPECT_EQ(model.imageUrl, QUrl(base + QStringLiteral("poster.webp")));
    EXPECT_EQ(model.posterUrl, model.imageUrl);
    EXPECT_EQ(model.videoUrl, QUrl(base + QStringLiteral("preview.mp4")));
    EXPECT_EQ(model.previewhdUrl, QUrl(base + QStringLiteral("previewhd.mp4")));
    EXPECT_EQ(model.masterUrl, QUrl(base + QStringLiteral("master.mp4")));
    EXPECT_EQ(model.key, 123);
    EXPECT_EQ(model.title, QStringLiteral("Aurora"));
    EXPECT_EQ(model.category, QStringLiteral("Space"));
    EXPECT_EQ(model.likes, 6);
    EXPECT_EQ(model.downloads, 5);
    EXPECT_EQ(model.createdAt, source.createdAt);
    EXPECT_TRUE(model.forLockscreen);
    EXPECT_FALSE(model.isFromGravelnook);
}

TEST(WallpaperConversionTest, WithoutAUsableHostThereAreNoAddresses)
{
    for (const std::optional<QString>& host : {std::optional<QString>(), std::optional(QString()),
             std::optional(QStringLiteral("bad host name"))}) {
        const WallpaperModel model = item(1920, 1080, 1, 1).toWallpaperModel(host, {});
        EXPECT_FALSE(model.imageUrl || model.posterUrl || model.videoUrl || model.previewhdUrl || model.masterUrl);
        EXPECT_EQ(model.resolution, QStringLiteral("1920×1080"));
        EXPECT_TRUE(model.fileSize && model.duration);
    }
}

TEST(WallpaperConversionTest, FallbackTextsAndFreshIdentity)
{
    WallpaperResponseItem untitled = item(1, 1, 1, 1);
    untitled.title.reset();
    const WallpaperModel first = untitled.toWallpaperModel({}, {});
    const WallpaperModel second = untitled.toWallpaperModel({}, {});
    EXPECT_EQ(first.title, QStringLiteral("Live Wallpaper"));
    EXPECT_EQ(first.category, QStringLiteral("Category"));
    EXPECT_FALSE(first.forLockscreen);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.key, second.key);
}
