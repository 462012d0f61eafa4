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

TEST(ApplyToastTest, OnlyTheNewestApplyInItsCurrentStageWrites)
{
    const WriteCase cases[] = {
        {"downloadReportsMoveOn",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0, false);
                a.older.update(Stage::downloading, QStringLiteral("Downloading..."), 0.4);
                a.older.updateProgress(Stage::downloading, 0.5);
            },
            QStringLiteral("Downloading..."), 0.5},
        {"lateDownloadReportAfterApplying",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0, false);
                a.older.update(Stage::downloaded, QStringLiteral("Applying..."), 0.9);
                a.older.update(Stage::downloading, QStringLiteral("Downloading..."), 0.6);
                a.older.updateProgress(Stage::downloading, 0.7);
            },
            QStringLiteral("Applying..."), 0.9},
        {"lateReportAfterTheApplyEnded",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0, false);
                a.older.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
                a.older.updateProgress(Stage::downloaded, 0.2);
            },
            QStringLiteral("Wallpaper applied"), 1.0},
        {"olderApplyAfterANewerOneShowed",
            [](Applies a) {
                a.older.show(Stage::downloading, QStringLiteral("Downloading..."), 0.1, false);
                a.newer.show(Stage::applying, QStringLiteral("Applying..."), 0.3, false);
                a.older.update(Stage::downloaded, QStringLiteral("Applying..."), 0.9);
                a.older.updateProgress(Stage::applied, 1.0);
                a.older.show(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0, false);
            },
            QStringLiteral("Applying..."), 0.3},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        NotificationManager toast;
        const ApplyToast::Owner owner = std::make_shared<quint64>(0);
        ApplyToast older(toast, owner, 1, QStringLiteral("Aurora"), std::nullopt);
        ApplyToast newer(toast, owner, 2, QStringLiteral("Dunes"), std::nullopt);
        c.writes({older, newer});
        EXPECT_EQ(toast.message(), c.message);
        EXPECT_EQ(toast.progress(), c.progress);
    }
}

} // namespace
