#include "UpdatePackages.h"
#include "app/AppDelegate.h"
#include "UpdaterFixture.h"
#include "foundation/CancelledError.h"
#include "foundation/Log.h"
#include "state/NotificationManager.h"
#include "support/TaskWait.h"
#include "updater/UpdateRunner.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QTimer>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Outcome = UpdateRunner::Outcome;

// The whole update against the sample catalogue, with the real shell: the relaunch script
// starts the new bundle's program, which writes its label into marker().
class UpdateRunnerTest : public UpdaterFixture {
protected:
    UpdateRunnerTest()
    {
        QObject::connect(&notifications_, &NotificationManager::progressChanged, [this] { progress_.append(notifications_.progress()); });
    }

    UpdateRunner& runner()
    {
        if (!runner_)
            runner_ = std::make_unique<UpdateRunner>(service(), notifications_);
        return *runner_;
    }
    Outcome runAtLaunch()
    {
        const Outcome outcome = waitForTask(runner().runAtLaunch());
        QCoreApplication::processEvents();
        return outcome;
    }

    ManualDelays toastDelays_;
    NotificationManager notifications_{toastDelays_.delays()};
    QList<double> progress_;
    std::unique_ptr<UpdateRunner> runner_;
    LogCapture log_;
};

class InstallEveryKindTest : public UpdateRunnerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(InstallEveryKindTest, InstallsTheNewerVersionAndStartsItsProgram)
{
    const QString kind = QString::fromLatin1(GetParam());
    const QString package = QStringLiteral("Quorvelle-1.3.") + kind;
    servePackage(kind, package, QStringLiteral("new ") + kind);
    serveFeed(QStringLiteral("1.3"), package);

    EXPECT_EQ(runAtLaunch(), Outcome::installed);
    EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), QStringLiteral("new ") + kind);
    EXPECT_EQ(notifications_.title(), u"App Update");
    EXPECT_EQ(notifications_.message(), u"Update installed");
    EXPECT_EQ(notifications_.progress(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress_.cbegin(), progress_.cend())) << "the bar went back: " << QDebug::toString(progress_).toStdString();
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ [AppDelegate] Update installed successfully")));
    // Downloads, mounts and extractions are gone.
    EXPECT_FALSE(QFileInfo::exists(UpdateCheckService::downloadDirectory()));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();

    EXPECT_EQ(waitForProgram(), QStringLiteral("new ") + kind);
    delays_.runScheduled();
    EXPECT_EQ(terminations_, 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, InstallEveryKindTest, ::testing::Values("dmg", "zip", "app"));

TEST_F(UpdateRunnerTest, AFailedDownloadShowsTheFailureAndKeepsTheApp)
{
    serveFeed(QStringLiteral("1.3"), QStringLiteral("Missing.zip"));
    EXPECT_EQ(runAtLaunch(), Outcome::failed);
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [AppDelegate] Launch update failed: Invalid response")));
    EXPECT_EQ(notifications_.message(), u"Update failed");
    EXPECT_EQ(notifications_.progress(), 0.0);
    EXPECT_TRUE(notifications_.isPresented());
    EXPECT_EQ(toastDelays_.scheduled().value(0), 3000);
    toastDelays_.runScheduled();
    EXPECT_FALSE(notifications_.isPresented());
    EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), u"old");
    EXPECT_EQ(terminations_, 0);
}

// A toast shown over the update's (an apply started meanwhile) is left alone by the update's
// late progress, failure and hide; once it hides, the update's toast comes back and tells the
// failure for as long as it would have.
TEST_F(UpdateRunnerTest, AToastShownDuringTheUpdateTakesItsTurnFirst)
{
    serveFeed(QStringLiteral("1.3"), QStringLiteral("Missing.zip"));
    bool applyShown = false;
    QObject::connect(&notifications_, &NotificationManager::titleChanged, &notifications_, [&] {
        if (notifications_.title() == u"App Update" && !std::exchange(applyShown, true))
            QMetaObject::invokeMethod(&notifications_, [&] {
                notifications_.show(QStringLiteral("Autumn Creek"), QStringLiteral("Applying..."), {}, 0.3, true);
            }, Qt::QueuedConnection);
    });
    EXPECT_EQ(runAtLaunch(), Outcome::failed);
    toastDelays_.runScheduled();
    QCoreApplication::processEvents();
    ASSERT_TRUE(applyShown);
    EXPECT_EQ(notifications_.title(), u"Autumn Creek");
    EXPECT_EQ(notifications_.message(), u"Applying...");
    EXPECT_EQ(notifications_.progress(), 0.3);
    EXPECT_TRUE(notifications_.isPresented());

    notifications_.hide(0);
    toastDelays_.runScheduled(); // the apply's toast hides
    EXPECT_FALSE(notifications_.isPresented());
    toastDelays_.runScheduled(); // and has faded out
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifications_.isPresented(); }, 5'000));
    EXPECT_EQ(notifications_.title(), u"App Update");
    EXPECT_EQ(notifications_.message(), u"Update failed");
    EXPECT_EQ(notifications_.progress(), 0.0);
    EXPECT_EQ(toastDelays_.scheduled().constLast(), 3000);
    toastDelays_.runScheduled();
    EXPECT_FALSE(notifications_.isPresented());
}

TEST_F(UpdateRunnerTest, AnArchiveWithAForeignBundleFailsTheUpdate)
{
    servePackage(QStringLiteral("zip"), QStringLiteral("Other.zip"), QStringLiteral("other"), QStringLiteral("Other.app"));
    serveFeed(QStringLiteral("2.0"), QStringLiteral("Other.zip"));
    EXPECT_EQ(runAtLaunch(), Outcome::failed);
    EXPECT_EQ(notifications_.message(), u"Update failed");
    EXPECT_EQ(UpdatePackages::labelOf(installedBundle()), u"old");
    EXPECT_FALSE(QFileInfo::exists(UpdateCheckService::downloadDirectory()));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(UpdateRunnerTest, NoUpdateShowsNothing)
{
    serveFeed(QStringLiteral("1.2"), QStringLiteral("Quorvelle.zip"));
    EXPECT_EQ(runAtLaunch(), Outcome::noUpdate);
    EXPECT_TRUE(notifications_.title().isEmpty());
    EXPECT_FALSE(notifications_.isPresented());
    EXPECT_EQ(log_.lines().first(), QStringLiteral("🔍 [AppDelegate] Checking for updates on app launch (enforced)..."));
}

TEST_F(UpdateRunnerTest, ASecondCallerWaitsForTheRunUnderWay)
{
    serveFeed(QStringLiteral("1.3"), QStringLiteral("Missing.zip"));
    auto first = runner().run();
    auto second = runner().run();
    EXPECT_EQ(waitForTask(std::move(second)), Outcome::failed);
    EXPECT_EQ(waitForTask(std::move(first)), Outcome::failed);
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/appcast.xml")), 1);
    // The next call is a run of its own.
    EXPECT_EQ(waitForTask(runner().run()), Outcome::failed);
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/appcast.xml")), 2);
}

// The launch's check and one asked for meanwhile are one run: one feed request, one outcome.
TEST_F(UpdateRunnerTest, TheLaunchCheckIsTheSharedRunnersOwn)
{
    serveFeed(QStringLiteral("1.1"), QStringLiteral("Quorvelle-1.1.zip"));
    Shared<UpdateRunner>::Override shared(runner());
    QCoro::Task<> launch = AppDelegate::checkForUpdatesOnLaunch();
    EXPECT_EQ(waitForTask(runner().run()), Outcome::noUpdate);
    waitForTask(std::move(launch));
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/appcast.xml")), 1);
    EXPECT_EQ(log_.lines().first(), QStringLiteral("🔍 [AppDelegate] Checking for updates on app launch (enforced)..."));
}

// The delegate and the home page both ask at launch, during the run and after it: one run.
TEST_F(UpdateRunnerTest, TheLaunchCheckRunsOncePerProcess)
{
    serveFeed(QStringLiteral("1.3"), QStringLiteral("Missing.zip"));
    auto first = runner().runAtLaunch();
    auto joining = runner().runAtLaunch();
    EXPECT_EQ(waitForTask(std::move(joining)), Outcome::failed);
    EXPECT_EQ(waitForTask(std::move(first)), Outcome::failed);
    EXPECT_EQ(runAtLaunch(), Outcome::failed);
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/appcast.xml")), 1);
}

// A pause of the check that waits while `gate` runs (closed), and ends at once once it fired.
QCoro::Task<bool> pauseAt(QTimer* gate)
{
    if (gate->isActive())
        co_await qCoro(gate).waitForTimeout();
    co_return true;
}

// The runner, or the runner and its service, go while the check waits in a pause (the
// application quitting mid-run): the run ends as stopped, touching neither of them again.
struct Leaving {
    const char* name;
    bool serviceToo;
};

class RunnerGoneTest : public UpdateRunnerTest, public ::testing::WithParamInterface<Leaving> {};

TEST_P(RunnerGoneTest, ARunWhoseOwnerWentAwayEndsWithoutTouchingIt)
{
    serveFeed(QStringLiteral("1.3"), QStringLiteral("Missing.zip"));
    QTimer gate;
    gate.setSingleShot(true);
    gate.start(std::chrono::hours(1));
    environment().delays.sleep = [&gate](int, std::stop_token) { return pauseAt(&gate); };
    QCoro::Task<Outcome> run = runner().run();
    runner_.reset();
    if (GetParam().serviceToo)
        discardService();

    gate.start(0);
    EXPECT_THROW(waitForTask(std::move(run)), CancelledError);
    const int feedRequests = catalogue_.server().requestCount(QStringLiteral("/appcast.xml"));
    EXPECT_EQ(feedRequests, GetParam().serviceToo ? 0 : 1);
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/updates/Missing.zip")), 0) << "nothing downloaded for a runner gone";
    EXPECT_TRUE(notifications_.title().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Owners, RunnerGoneTest,
    ::testing::Values(Leaving{"Runner", false}, Leaving{"RunnerAndService", true}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
