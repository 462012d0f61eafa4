#include "ManualDelays.h"

#include "engine/ApplyToast.h"
#include "state/NotificationManager.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Stage = ApplyToast::Stage;

// Runs what the event loop holds, a few rounds deep, and with `runDelays` the delayed calls as
// if their time had come.
void runTurns(ManualDelays& delays, bool runDelays)
{
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        if (runDelays)
            delays.runScheduled();
    }
}

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
        const ApplyToast::Owner owner = std::make_shared<ApplyToast::Holder>();
        ApplyToast older(toast, owner, 1, QStringLiteral("Aurora"), std::nullopt);
        ApplyToast newer(toast, owner, 2, QStringLiteral("Dunes"), std::nullopt);
        c.writes({older, newer});
        EXPECT_EQ(toast.message(), c.message);
        EXPECT_EQ(toast.progress(), c.progress);
    }
}

// An import's toast shown over an apply's, the apply writing on: `older` showed first and an
// import's toast covers it; `newer`, when used, is an apply started after that.
struct Covered {
    ApplyToast& older;
    ApplyToast& newer;
    NotificationManager& toast;
};

struct CoveredCase {
    const char* name;
    std::function<void(Covered)> writes;
    // What the panel held each time it hid, once the import's toast has gone: "message@progress".
    QStringList hidden;
};

// Shown over, an apply's toast waits like an import's: its later stages and its end go into it,
// and it comes back to tell them once the covering toast hides. A failed apply (its caller tells
// the failure) and one replaced by a newer apply do not come back.
TEST(ApplyToastTest, ACoveredApplyComesBackToTellItsEnd)
{
    const CoveredCase cases[] = {
        {"endsWhileCovered",
            [](Covered c) {
                c.older.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
                c.older.hide(2.0);
            },
            {QStringLiteral("Copying clip.mp4…@0.25"), QStringLiteral("Wallpaper applied@1")}},
        {"nextStageWhileCovered",
            [](Covered c) {
                c.older.show(Stage::lockScreen, QStringLiteral("Setting Lock Screen"), 0, true);
                EXPECT_EQ(c.toast.message(), QStringLiteral("Copying clip.mp4…")) << "the import keeps the panel";
                c.older.updateProgress(Stage::lockScreen, 0.5);
                c.older.hide(2.0);
            },
            {QStringLiteral("Copying clip.mp4…@0.25"), QStringLiteral("Setting Lock Screen@0.5")}},
        {"failsWhileCovered", [](Covered c) { c.older.fail(3.0); }, {QStringLiteral("Copying clip.mp4…@0.25")}},
        {"replacedByANewerApply",
            [](Covered c) {
                c.newer.show(Stage::applying, QStringLiteral("Applying..."), 0.5, false);
                c.newer.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
                c.newer.hide(2.0);
                c.older.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
                c.older.hide(2.0);
            },
            {QStringLiteral("Wallpaper applied@1"), QStringLiteral("Copying clip.mp4…@0.25")}},
    };
    for (const CoveredCase& c : cases) {
        SCOPED_TRACE(c.name);
        ManualDelays delays;
        NotificationManager toast(delays.delays());
        const auto turnsOfTheLoop = [&delays](bool runDelays) { runTurns(delays, runDelays); };
        QStringList hidden;
        QObject guard;
        QObject::connect(&toast, &NotificationManager::isPresentedChanged, &guard, [&] {
            if (!toast.isPresented())
                hidden.append(toast.message() + u'@' + QString::number(toast.progress()));
        });
        const ApplyToast::Owner owner = std::make_shared<ApplyToast::Holder>();
        ApplyToast older(toast, owner, 1, QStringLiteral("Aurora"), std::nullopt);
        ApplyToast newer(toast, owner, 2, QStringLiteral("Dunes"), std::nullopt);
        older.show(Stage::downloading, QStringLiteral("Downloading..."), 0.1, false);
        turnsOfTheLoop(false);
        const NotificationManager::Ticket import = toast.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.25, true);
        toast.takeTurns(import);
        turnsOfTheLoop(false);
        ASSERT_TRUE(toast.isPresented());

        c.writes({older, newer, toast});
        turnsOfTheLoop(false);
        // The import ends at once, or as soon as it is back.
        toast.hide(import, 0);
        turnsOfTheLoop(true);
        EXPECT_EQ(hidden, c.hidden);
        EXPECT_FALSE(toast.isPresented());
        EXPECT_EQ(toast.message(), QString()) << "nothing is left waiting";
    }
}

// An apply's thumbnail: a small red picture in a folder of its own, gone with this object.
class Thumbnail {
public:
    static constexpr QSize kSize{8, 8};
    Thumbnail()
    {
        QImage red(kSize, QImage::Format_RGB32);
        red.fill(Qt::red);
        EXPECT_TRUE(folder_.isValid() && red.save(path()));
    }
    QString path() const { return folder_.filePath(QStringLiteral("thumbnail.png")); }

private:
    QTemporaryDir folder_;
};

// The apply's thumbnail is read while an import's toast covers the apply's: it goes into the
// apply's turn and is on the panel when the apply's toast comes back, its end included. Once that
// end has been on the panel and gone, a late picture is put nowhere.
TEST(ApplyToastTest, AThumbnailReadWhileCoveredComesBackWithTheToast)
{
    const Thumbnail thumbnail;
    const QString picture = thumbnail.path();

    enum class When { duringTheApply, afterItsEnd, afterItsEndWasTold };
    const struct {
        const char* name;
        When when;
        bool covered;
        // What the panel showed each time it appeared: "message" and "+picture" when it had one.
        QStringList shown;
    } cases[] = {
        {"duringTheApply", When::duringTheApply, true,
            {QStringLiteral("Copying clip.mp4…"), QStringLiteral("Wallpaper applied+picture")}},
        {"afterItsEnd", When::afterItsEnd, true, {QStringLiteral("Copying clip.mp4…"), QStringLiteral("Wallpaper applied+picture")}},
        {"afterItsEndWasTold", When::afterItsEndWasTold, false, {QStringLiteral("Wallpaper applied")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ManualDelays delays;
        NotificationManager toast(delays.delays());
        const auto turnsOfTheLoop = [&delays](bool runDelays) { runTurns(delays, runDelays); };
        // The picture is read on a worker and reaches the toast on a later turn.
        const auto thumbnailArrives = [&] {
            QThreadPool::globalInstance()->waitForDone();
            turnsOfTheLoop(false);
        };
        QStringList shown;
        QObject guard;
        QObject::connect(&toast, &NotificationManager::isPresentedChanged, &guard, [&] {
            if (toast.isPresented())
                shown.append(toast.message() + (toast.thumbnailImage().isNull() ? QString() : QStringLiteral("+picture")));
        });
        ApplyToast apply(toast, std::make_shared<ApplyToast::Holder>(), 1, QStringLiteral("Aurora"), QUrl::fromLocalFile(picture));
        apply.show(Stage::downloading, QStringLiteral("Downloading..."), 0.1, true);
        NotificationManager::Ticket import = 0;
        if (c.covered) {
            import = toast.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.25, true);
            toast.takeTurns(import);
        }
        if (c.when == When::duringTheApply)
            thumbnailArrives();
        apply.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
        apply.hide(2.0);
        turnsOfTheLoop(false);
        if (c.when == When::afterItsEndWasTold)
            turnsOfTheLoop(true);
        if (c.when != When::duringTheApply)
            thumbnailArrives();
        if (c.covered)
            toast.hide(import, 0);
        turnsOfTheLoop(true);
        EXPECT_EQ(shown, c.shown);
        EXPECT_FALSE(toast.isPresented());
        EXPECT_TRUE(toast.thumbnailImage().isNull()) << "a picture was left on the cleared panel";
    }
}

// An apply that ends before its picture is read (an own video's first frame takes longer than
// applying it) still shows the picture for the rest of its end, and leaves none behind.
TEST(ApplyToastTest, APictureReadWhileTheEndIsOnThePanelJoinsIt)
{
    const Thumbnail thumbnail;
    const QString picture = thumbnail.path();
    ManualDelays delays;
    NotificationManager toast(delays.delays());
    // The read waits behind a task that holds the only worker until the end is on the panel.
    QThreadPool& workers = *QThreadPool::globalInstance();
    const int threads = workers.maxThreadCount();
    workers.setMaxThreadCount(1);
    QSemaphore release;
    workers.start([&release] { release.acquire(); });
    ApplyToast apply(toast, std::make_shared<ApplyToast::Holder>(), 1, QStringLiteral("Aurora"), QUrl::fromLocalFile(picture));
    apply.show(Stage::applying, QStringLiteral("Applying..."), 0.5, true);
    runTurns(delays, false);
    apply.update(Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
    apply.hide(2.0);
    runTurns(delays, false);
    EXPECT_TRUE(toast.isPresented());
    EXPECT_TRUE(toast.thumbnailImage().isNull());
    release.release();
    workers.waitForDone();
    workers.setMaxThreadCount(threads);
    runTurns(delays, false);
    EXPECT_TRUE(toast.isPresented());
    EXPECT_EQ(toast.message(), QStringLiteral("Wallpaper applied"));
    EXPECT_EQ(toast.thumbnailImage().size(), Thumbnail::kSize);
    runTurns(delays, true);
    EXPECT_FALSE(toast.isPresented());
    EXPECT_TRUE(toast.thumbnailImage().isNull()) << "a picture was left on the cleared panel";
}

} // namespace
