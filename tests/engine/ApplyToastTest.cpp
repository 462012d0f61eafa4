#include "engine/ApplyToast.h"
#include "state/NotificationManager.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Stage = ApplyToast::Stage;

// Two applies sharing one toast: `older` showed first, `newer` was started after it.
struct Applies {
    ApplyToast& older;
    ApplyToast& newer;
};

struct WriteCase {
    const char* name;
    std::function<void(Applies)> writes;
    QString message;
    double progress;
};

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

class ApplyToastTest : public ::testing::TestWithParam<WriteCase> {
protected:
    NotificationManager toast_;
    ApplyToast::Owner owner_ = std::make_shared<quint64>(0);
    ApplyToast older_{toast_, owner_, 1, QStringLiteral("Aurora"), std::nullopt};
    ApplyToast newer_{toast_, owner_, 2, QStringLiteral("Dunes"), std::nullopt};
};

TEST_P(ApplyToastTest, OnlyTheNewestApplyInItsCurrentStageWrites)
{
    GetParam().writes({older_, newer_});
    EXPECT_EQ(toast_.message(), GetParam().message);
    EXPECT_EQ(toast_.progress(), GetParam().progress);
}

INSTANTIATE_TEST_SUITE_P(Writes, ApplyToastTest,
    ::testing::Values(
        WriteCase{"downloadReportsMoveOn",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0, false);
                a.older.update(Stage::downloading, QStringLiteral("Downloading..."), 0.4);
                a.older.updateProgress(Stage::downloading, 0.5);
            },
            QStringLiteral("Downloading..."), 0.5},
        WriteCase{"lateDownloadReportAfterApplying",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0, false);
                a.older.update(Stage::downloaded, QStringLiteral("Applying..."), 0.9);
                a.older.update(Stage::downloading, QStringLiteral("Downloading..."), 0.6);
                a.older.updateProgress(Stage::downloading, 0.7);
            },
            QStringLiteral("Applying..."), 0.9},
        WriteCase{"lateReportAfterTheApplyEnded",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0, false);
                a.older.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
                a.older.updateProgress(Stage::downloaded, 0.2);
            },
            QStringLiteral("Wallpaper applied"), 1.0},
        WriteCase{"olderApplyAfterANewerOneShowed",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0.1, false);
                a.newer.show(Stage::applying, QStringLiteral("Applying..."), 0.3, false);
                a.older.update(Stage::downloaded, QStringLiteral("Applying..."), 0.9);
                a.older.updateProgress(Stage::applied, 1.0);
                a.older.show(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0, false);
            },
            QStringLiteral("Applying..."), 0.3}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
