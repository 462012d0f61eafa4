#include "screens/detail/CustomWallpaperProcessor.h"

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "platform/MediaError.h"
#include "platform/MediaTools.h"
#include "screens/detail/FullScreenViewError.h"
#include "support/TaskWait.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 kKey = 4821;

QUrl clip() { return QUrl::fromLocalFile(QStringLiteral(QUORVELLE_TEST_DATA_DIR "/loop-320x180.mp4")); }
QUrl notAVideo() { return QUrl::fromLocalFile(QStringLiteral(QUORVELLE_TEST_DATA_DIR "/not-a-video.mp4")); }

class CustomWallpaperProcessorTest : public ::testing::Test {
protected:
    QString copyPath() const { return custom_.folderPath() + QStringLiteral("/4821.mp4"); }

    TempFolder temp_;
    LogCapture log_;
    UserDefaults defaults_{QStringLiteral("custom-test"), UserDefaults::Storage::InMemory};
    CustomWallpapersService custom_{defaults_, Paths::applicationSupport()};
    CustomWallpaperProcessor processor_{custom_, MediaTools::shared()};
};

TEST_F(CustomWallpaperProcessorTest, TextsOfSizeAndDurationNeverComeFromNonsense)
{
    for (const auto& [bytes, text] : {std::pair<qint64, const char*>{0, "0MB"}, {5'000'000, "5MB"}, {-7, "0MB"}})
        EXPECT_EQ(CustomWallpaperProcessor::fileSizeText(bytes), QString::fromLatin1(text)) << bytes;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [seconds, text] : {std::pair<double, const char*>{45, "0:45s"}, {65, "1:05s"}, {59.9, "0:59s"}, {75, "1:15s"},
             {nan, "0:00s"}, {inf, "0:00s"}, {-3, "0:00s"}})
        EXPECT_EQ(CustomWallpaperProcessor::durationText(seconds), QString::fromLatin1(text)) << seconds;
}

TEST_F(CustomWallpaperProcessorTest, TheVideoBecomesAnOwnWallpaperUnderItsKeyReplacingAnOlderCopy)
{
    QDir().mkpath(custom_.folderPath());
    QFile stale(copyPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly) && stale.write("old") == 3);
    stale.close();

    const WallpaperModel record = waitForTask(processor_.process(clip(), QStringLiteral("  My Beach \n"), QStringLiteral("Nature"), kKey));

    EXPECT_EQ(QFileInfo(copyPath()).size(), QFileInfo(clip().toLocalFile()).size());
    EXPECT_EQ(record.title, QStringLiteral("My Beach"));
    EXPECT_EQ(record.resolution, QStringLiteral("320×180"));
    EXPECT_FALSE(record.is_4k);
    EXPECT_EQ(record.duration, QStringLiteral("0:02s"));
    EXPECT_EQ(record.fileSize, QStringLiteral("0MB"));
    EXPECT_EQ(record.masterUrl, QUrl::fromLocalFile(copyPath()));
    EXPECT_EQ(custom_.customOrder(), QList<qint64>{kKey});
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ [FullScreenView] Custom wallpaper processed and saved")));
}

TEST_F(CustomWallpaperProcessorTest, AFailureLeavesNoCopyAndNoRecord)
{
    EXPECT_THROW(waitForTask(processor_.process(notAVideo(), QStringLiteral("Notes"), QStringLiteral("Nature"), kKey)), MediaError);
    EXPECT_THROW(waitForTask(processor_.process(QUrl::fromLocalFile(QStringLiteral("/no/such.mp4")), QStringLiteral("Gone"),
                     QStringLiteral("Nature"), kKey)),
        FullScreenViewError);
    EXPECT_FALSE(QFileInfo::exists(copyPath()));
    EXPECT_TRUE(custom_.customOrder().isEmpty());
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [FullScreenView] Failed to process custom wallpaper: ")));

    CustomWallpapersService nowhere(defaults_, QString());
    CustomWallpaperProcessor lost(nowhere, MediaTools::shared());
    try {
        waitForTask(lost.process(clip(), QStringLiteral("Beach"), QStringLiteral("Nature"), kKey));
        ADD_FAILURE() << "no folder, no copy";
    } catch (const FullScreenViewError& error) {
        EXPECT_EQ(error.localizedDescription(), QStringLiteral("Could not access Application Support directory"));
    }
}

} // namespace
