#include "UpdaterFixture.h"
#include "foundation/Paths.h"
#include "state/NotificationManager.h"
#include "support/TaskWait.h"
#include "updater/UpdateCommand.h"
#include "updater/UpdateInfo.h"
#include "updater/UpdaterController.h"
#include "updater/UpdaterFolders.h"
#include "updater/UserDriverDelegate.h"
#include "updater/UserUpdateState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Outcome = UpdateRunner::Outcome;

// Records what the framework asked, answering scheduled updates as told.
class RecordingUserDriver : public UserDriverDelegate {
public:
    void standardUserDriverWillHandleShowingUpdate(bool handle, const UpdateInfo& update, const UserUpdateState& state) override
    {
        calls << QStringLiteral("willHandle %1 %2 %3").arg(handle).arg(update.downloadURL.fileName()).arg(state.userInitiated);
    }
    void standardUserDriverDidReceiveUserAttention(const UpdateInfo& update) override
    {
        calls << QStringLiteral("attention ") + update.downloadURL.fileName();
    }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateInfo& update, bool immediateFocus) override
    {
        calls << QStringLiteral("shouldHandle %1 %2").arg(update.downloadURL.fileName()).arg(immediateFocus);
        return showScheduled;
    }

    QStringList calls;
    bool showScheduled = true;
};

// The controller's checks run the real update; the package is missing, so an update that is
// shown ends as failed without touching the installed app.
class UpdaterControllerTest : public UpdaterFixture {
protected:
    UpdaterControllerTest() { serveFeed(QStringLiteral("1.3"), QStringLiteral("Missing.zip")); }

    UpdateRunner& runner()
    {
        if (!runner_)
            runner_ = std::make_unique<UpdateRunner>(service(), notifications_);
        return *runner_;
    }
    int feedRequests() { return catalogue_.server().requestCount(QStringLiteral("/appcast.xml")); }
    // Waits for a run started without a handle to end (it fails on the missing package).
    bool waitForFailedRun()
    {
        return QTest::qWaitFor([this] { return notifications_.message() == u"Update failed"; }, kProgramWaitMs);
    }

    ManualDelays toastDelays_;
    NotificationManager notifications_{toastDelays_.delays()};
    std::unique_ptr<UpdateRunner> runner_;
    RecordingUserDriver driver_;
};

TEST_F(UpdaterControllerTest, AUserCheckTellsTheDelegateAndShowsTheUpdate)
{
    UpdaterController controller(false, &driver_, runner());
    EXPECT_EQ(waitForTask(controller.check(true)), Outcome::failed);
    EXPECT_EQ(driver_.calls, (QStringList{QStringLiteral("willHandle 1 Missing.zip 1"), QStringLiteral("attention Missing.zip")}));
    EXPECT_EQ(notifications_.title(), u"App Update");
}

TEST_F(UpdaterControllerTest, AScheduledCheckShowsOnlyWhatTheDelegateAgreesTo)
{
    driver_.showScheduled = false;
    UpdaterController controller(false, &driver_, runner());
    EXPECT_EQ(waitForTask(controller.check(false)), Outcome::declined);
    EXPECT_EQ(driver_.calls, QStringList{QStringLiteral("shouldHandle Missing.zip 0")});
    EXPECT_TRUE(notifications_.title().isEmpty());
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/updates/Missing.zip")), 0);
}

TEST_F(UpdaterControllerTest, StartingTheUpdaterMakesOneScheduledCheck)
{
    UpdaterController idle(false, &driver_, runner());
    QCoreApplication::processEvents();
    EXPECT_EQ(feedRequests(), 0);

    UpdaterController starting(true, &driver_, runner());
    ASSERT_TRUE(waitForFailedRun());
    EXPECT_EQ(driver_.calls, (QStringList{QStringLiteral("shouldHandle Missing.zip 0"), QStringLiteral("willHandle 1 Missing.zip 0")}));
}

TEST_F(UpdaterControllerTest, TheCacheClearingCommandClearsThenChecks)
{
    // Only the updater's own folder goes: masters and the response cache cost downloads.
    const QString kept[] = {Paths::appCaches() + QStringLiteral("/api_cache.json"),
        Paths::appCaches() + QStringLiteral("/Wallpapers/1.mp4")};
    const QString cleared = UpdaterFolders::cachesFolder() + QStringLiteral("/feed");
    for (const QString& file : {kept[0], kept[1], cleared}) {
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    }

    waitForTask([]() -> QCoro::Task<bool> {
        co_await checkForUpdatesWithCacheClear(nullptr);
        co_return true;
    }());
    EXPECT_FALSE(QFileInfo::exists(UpdaterFolders::cachesFolder()));
    for (const QString& file : kept)
        EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_EQ(feedRequests(), 0);

    UpdaterController controller(false, &driver_, runner());
    waitForTask([](QPointer<UpdaterController> target) -> QCoro::Task<bool> {
        co_await checkForUpdatesWithCacheClear(target);
        co_return true;
    }(&controller));
    ASSERT_TRUE(waitForFailedRun());
    EXPECT_EQ(driver_.calls.first(), u"willHandle 1 Missing.zip 1");
}

} // namespace
