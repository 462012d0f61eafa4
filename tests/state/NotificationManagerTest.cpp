#include "TestDelays.h"

#include "state/NotificationManager.h"
#include "support/Eventually.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {
// Presenting and updates are posted: they land within a few turns of the event loop.
constexpr int kWaitMs = 1'000;

QImage thumbnail()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

class NotificationManagerTest : public ::testing::Test {
protected:
    // Shows a toast and waits until it is on screen; false when it never appears.
    [[nodiscard]] bool present(const QString& title)
    {
        toast_.show(title, QStringLiteral("Downloading..."), thumbnail(), 0.5, true);
        return QTest::qWaitFor([this] { return toast_.isPresented(); }, kWaitMs);
    }
    void expectCleared()
    {
        EXPECT_EQ(toast_.title(), QString());
        EXPECT_EQ(toast_.message(), QString());
        EXPECT_TRUE(toast_.thumbnailImage().isNull());
        EXPECT_EQ(toast_.progress(), 0.0);
        EXPECT_TRUE(toast_.showProgress());
    }

    TestDelays delays_;
    NotificationManager toast_{delays_.delays()};
};

TEST_F(NotificationManagerTest, ShowSetsTheContentAtOnceAndPresentsLater)
{
    QSignalSpy presented(&toast_, &NotificationManager::isPresentedChanged);
    toast_.show(QStringLiteral("Aurora"), QStringLiteral("Downloading..."), thumbnail(), 0.5, false);
    EXPECT_EQ(toast_.title(), QStringLiteral("Aurora"));
    EXPECT_EQ(toast_.message(), QStringLiteral("Downloading..."));
    EXPECT_FALSE(toast_.thumbnailImage().isNull());
    EXPECT_EQ(toast_.progress(), 0.5);
    EXPECT_FALSE(toast_.showProgress());
    EXPECT_FALSE(toast_.isPresented());
    ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
    EXPECT_EQ(presented.count(), 1);
}

TEST_F(NotificationManagerTest, FieldsSetDirectlyThenShowPresentThem)
{
    toast_.setTitle(QStringLiteral("Reapplying"));
    toast_.setShowProgress(false);
    toast_.show();
    ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
    EXPECT_EQ(toast_.title(), QStringLiteral("Reapplying"));
    EXPECT_FALSE(toast_.showProgress());
}

TEST_F(NotificationManagerTest, UpdatesTakeEffectOnALaterTurnInOrder)
{
    ASSERT_TRUE(present(QStringLiteral("Aurora")));
    toast_.updateMessage(QStringLiteral("Applying..."));
    toast_.updateProgress(0.8);
    toast_.updateMessage(QStringLiteral("Wallpaper applied"));
    EXPECT_EQ(toast_.message(), QStringLiteral("Downloading...")) << "the old value right after the call";
    EXPECT_EQ(toast_.progress(), 0.5);
    ASSERT_EVENTUALLY(toast_.message() == QStringLiteral("Wallpaper applied"), kWaitMs);
    EXPECT_EQ(toast_.progress(), 0.8);
}

TEST_F(NotificationManagerTest, ProgressIsClampedAndNotANumberIsZero)
{
    const std::pair<double, double> cases[] = {{-0.25, 0.0}, {1.7, 1.0}, {1.0, 1.0}, {0.3, 0.3},
        {std::numeric_limits<double>::quiet_NaN(), 0.0}, {std::numeric_limits<double>::infinity(), 1.0}};
    for (const auto& [given, stored] : cases) {
        toast_.setProgress(0.5);
        toast_.updateProgress(given);
        ASSERT_EVENTUALLY(toast_.progress() == stored, kWaitMs) << "given " << given << ", holds " << toast_.progress();
    }
    toast_.show(QString(), QString(), QImage(), 1.5, true);
    EXPECT_EQ(toast_.progress(), 1.0);
}

TEST_F(NotificationManagerTest, HideAfterHidesAtItsDeadlineAndClearsHalfASecondLater)
{
    ASSERT_TRUE(present(QStringLiteral("Aurora")));
    toast_.hide(2.0);
    delays_.advance(1'999);
    EXPECT_TRUE(toast_.isPresented());
    delays_.advance(1);
    EXPECT_FALSE(toast_.isPresented());
    EXPECT_EQ(toast_.title(), QStringLiteral("Aurora")) << "content stays while the panel fades";
    delays_.advance(NotificationManager::kResetDelayMs);
    expectCleared();
    EXPECT_EQ(delays_.scheduled(), (QList<int>{2'000, NotificationManager::kResetDelayMs}));
}

// A toast stays at least as long as its words take to read, counted on the message it shows
// when the asked time runs out (written, perhaps, after the hide): a long notice never goes after
// the few seconds meant for "Wallpaper applied". Zero still means at once.
struct ReadingRow {
    const char* name;
    int words;
    double askedSeconds;
    int shownMs;
};

class NotificationReadingTest : public NotificationManagerTest, public ::testing::WithParamInterface<ReadingRow> {};

TEST_P(NotificationReadingTest, ALongMessageStaysUntilItCanBeRead)
{
    const ReadingRow& row = GetParam();
    QStringList words;
    for (int i = 0; i < row.words; ++i)
        words << QStringLiteral("word");
    const NotificationManager::Ticket shown = toast_.show(QStringLiteral("Aurora"), QStringLiteral("Applying..."), QImage(), 1.0, false);
    ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
    toast_.hide(shown, row.askedSeconds);
    toast_.updateMessage(shown, words.join(u' '));
    ASSERT_EVENTUALLY(toast_.message() == words.join(u' '), kWaitMs);
    delays_.advance(row.shownMs - 1);
    EXPECT_TRUE(toast_.isPresented()) << "gone before its words could be read";
    delays_.advance(1);
    EXPECT_FALSE(toast_.isPresented());
}

INSTANTIATE_TEST_SUITE_P(Rows, NotificationReadingTest,
    ::testing::Values(ReadingRow{"ShortMessageKeepsItsTime", 2, 2.0, 2'000},
        ReadingRow{"LongNoticeGrowsWithItsWords", 48, 3.5, 12'000},
        ReadingRow{"TwelveWords", 12, 2.0, 3'000}),
    [](const ::testing::TestParamInfo<ReadingRow>& row) { return std::string(row.param.name); });

TEST(NotificationReadingTimeTest, GrowsWithTheWordsNotTheirLength)
{
    EXPECT_DOUBLE_EQ(NotificationManager::readingSeconds(QString()), 0.0);
    EXPECT_DOUBLE_EQ(NotificationManager::readingSeconds(QStringLiteral("  Wallpaper \n applied ")), 0.5);
    EXPECT_LT(NotificationManager::readingSeconds(QStringLiteral("a b c")), NotificationManager::readingSeconds(QStringLiteral("a b c d")));
}

TEST_F(NotificationManagerTest, HideIsPostedAndHidingAHiddenToastStillClears)
{
    ASSERT_TRUE(present(QStringLiteral("Aurora")));
    toast_.hide();
    EXPECT_TRUE(toast_.isPresented());
    ASSERT_EVENTUALLY(!toast_.isPresented(), kWaitMs);
    delays_.advance(NotificationManager::kResetDelayMs);
    expectCleared();

    toast_.setTitle(QStringLiteral("left over"));
    toast_.hide(0);
    delays_.advance(0);
    delays_.advance(NotificationManager::kResetDelayMs);
    EXPECT_EQ(toast_.title(), QString());
}

TEST_F(NotificationManagerTest, HideMeantForAnEarlierToastLeavesANewerOneAlone)
{
    ASSERT_TRUE(present(QStringLiteral("First")));
    toast_.hide(2.0);
    ASSERT_TRUE(present(QStringLiteral("Second")));
    delays_.advance(5'000);
    EXPECT_TRUE(toast_.isPresented());
    EXPECT_EQ(toast_.title(), QStringLiteral("Second"));
}

TEST_F(NotificationManagerTest, PendingResetSparesAToastShownMeanwhile)
{
    ASSERT_TRUE(present(QStringLiteral("First")));
    toast_.hide(0);
    delays_.advance(0);
    EXPECT_FALSE(toast_.isPresented());
    ASSERT_TRUE(present(QStringLiteral("Second")));
    delays_.advance(NotificationManager::kResetDelayMs);
    EXPECT_TRUE(toast_.isPresented());
    EXPECT_EQ(toast_.title(), QStringLiteral("Second"));
    EXPECT_FALSE(toast_.thumbnailImage().isNull());
}

TEST_F(NotificationManagerTest, ToastHiddenBeforeItAppearedStaysHidden)
{
    QSignalSpy presented(&toast_, &NotificationManager::isPresentedChanged);
    toast_.show(QStringLiteral("Brief"), QString(), QImage(), 0, false);
    toast_.hide();
    QTest::qWait(50);
    EXPECT_FALSE(toast_.isPresented());
    EXPECT_EQ(presented.count(), 0);
}
} // namespace

// A toast shown anew carries only its own content: the earlier owner's Stop goes, and whatever
// that owner still writes with its ticket (progress, message, hide, a cancel action) lands nowhere.
TEST_F(NotificationManagerTest, AnEarlierOwnersLateWritesChangeNothing)
{
    using Ticket = NotificationManager::Ticket;
    const struct {
        const char* write;
        std::function<void(NotificationManager&, Ticket)> apply;
    } cases[] = {
        {"progress", [](NotificationManager& toast, Ticket owner) { toast.updateProgress(owner, 1.0); }},
        {"message", [](NotificationManager& toast, Ticket owner) { toast.updateMessage(owner, QStringLiteral("Video added")); }},
        {"hide", [](NotificationManager& toast, Ticket owner) { toast.hide(owner, 0); }},
        {"cancel action", [](NotificationManager& toast, Ticket owner) { toast.setCancelAction(owner, [] {}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.write);
        bool stopped = false;
        const NotificationManager::Ticket earlier = toast_.show(QStringLiteral("Adding Video"), QString(), QImage(), 0.1, true);
        toast_.setCancelAction(earlier, [&stopped] { stopped = true; });
        ASSERT_TRUE(toast_.isCancellable());
        ASSERT_TRUE(present(QStringLiteral("Aurora")));
        EXPECT_FALSE(toast_.isCancellable()) << "the new toast offers no Stop of the earlier one";

        c.apply(toast_, earlier);
        QCoreApplication::sendPostedEvents();
        delays_.advance(0);
        delays_.advance(NotificationManager::kResetDelayMs);
        EXPECT_TRUE(toast_.isPresented());
        EXPECT_EQ(toast_.title(), QStringLiteral("Aurora"));
        EXPECT_EQ(toast_.message(), QStringLiteral("Downloading..."));
        EXPECT_EQ(toast_.progress(), 0.5);
        EXPECT_FALSE(toast_.isCancellable());
        toast_.cancel();
        EXPECT_FALSE(stopped);
        toast_.hide(0);
        delays_.advance(0);
        delays_.advance(NotificationManager::kResetDelayMs);
    }
}

namespace {
using Ticket = NotificationManager::Ticket;

// A toast on a clock of its own, noting what the panel held each time it hid.
struct RecordedToast {
    RecordedToast()
    {
        QObject::connect(&toast, &NotificationManager::isPresentedChanged, &toast, [this] {
            if (!toast.isPresented())
                hidden.append(toast.message());
        });
    }
    TestDelays delays;
    NotificationManager toast{delays.delays()};
    QStringList hidden;
};

class NotificationManagerTurnsTest : public NotificationManagerTest {
protected:
    // A copy under way: its toast takes turns and offers a Stop.
    Ticket startImport()
    {
        const Ticket import = toast_.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.1, true);
        toast_.takeTurns(import);
        toast_.setCancelAction(import, [this] { stopped_ = true; });
        return import;
    }
    // Hides the toast shown now and lets the panel fade out.
    void hideShown()
    {
        toast_.hide(0);
        delays_.advance(0);
        EXPECT_FALSE(toast_.isPresented());
        delays_.advance(NotificationManager::kResetDelayMs);
    }

    // Runs what the event loop holds, and what that posts in turn.
    static void turnTheLoop()
    {
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::sendPostedEvents();
    }

    bool stopped_ = false;
};

// Shown over by an apply, the copy's toast waits; what the copy reports meanwhile is kept, and
// once the apply's toast hides it comes back with that progress and its Stop, which still works.
TEST_F(NotificationManagerTurnsTest, ALongOperationsToastComesBackWithItsProgressAndStop)
{
    const Ticket import = startImport();
    ASSERT_TRUE(present(QStringLiteral("Aurora")));
    EXPECT_FALSE(toast_.isCancellable());
    toast_.updateProgress(import, 0.6);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(toast_.progress(), 0.5) << "the apply's bar is the apply's";

    hideShown();
    EXPECT_TRUE(toast_.isShowing(import));
    EXPECT_EQ(toast_.title(), QStringLiteral("Adding Video"));
    EXPECT_EQ(toast_.message(), QStringLiteral("Copying clip.mp4…"));
    EXPECT_TRUE(toast_.thumbnailImage().isNull());
    EXPECT_EQ(toast_.progress(), 0.6);
    ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
    ASSERT_TRUE(toast_.isCancellable());
    toast_.cancel();
    EXPECT_TRUE(stopped_);

    toast_.updateMessage(import, QStringLiteral("Stopped: the video was not added"));
    toast_.hide(import, 1.5);
    ASSERT_EVENTUALLY(toast_.message() == QStringLiteral("Stopped: the video was not added"), kWaitMs);
    delays_.advance(1'499);
    EXPECT_TRUE(toast_.isPresented());
    delays_.advance(1);
    EXPECT_FALSE(toast_.isPresented());
    delays_.advance(NotificationManager::kResetDelayMs);
    expectCleared();
}

// A copy that ends while another toast shows is told once that toast hides: its last words and
// bar, for as long as its owner asked, and then the panel clears. A toast whose owner had already
// ended it when it was shown over has told its end and does not come back.
TEST_F(NotificationManagerTurnsTest, AnEndReachedWhileWaitingIsToldAfterwards)
{
    const Ticket import = startImport();
    ASSERT_TRUE(present(QStringLiteral("Aurora")));
    toast_.setCancelAction(import, {});
    toast_.updateProgress(import, 1);
    toast_.updateMessage(import, QStringLiteral("Video added"));
    toast_.hide(import, 1.5);
    QCoreApplication::sendPostedEvents();
    delays_.advance(5'000);
    EXPECT_TRUE(toast_.isPresented());
    EXPECT_EQ(toast_.title(), QStringLiteral("Aurora"));

    hideShown();
    EXPECT_EQ(toast_.message(), QStringLiteral("Video added"));
    EXPECT_EQ(toast_.progress(), 1.0);
    ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
    EXPECT_FALSE(toast_.isCancellable());
    delays_.advance(1'500);
    EXPECT_FALSE(toast_.isPresented());
    delays_.advance(NotificationManager::kResetDelayMs);
    expectCleared();
}

// Shown over, an ended toast comes back unless its end was on the panel before: words written in
// the same turn as the newer toast's show have not landed yet. An owner that tells its end
// elsewhere (an alert) leaves its turn, and its toast is not seen again.
TEST_F(NotificationManagerTurnsTest, AnEndComesBackUnlessItWasOnThePanel)
{
    const struct {
        const char* name;
        std::function<void(Ticket)> endAndCover;
        QString back;
    } cases[] = {
        {"endShownOverInTheSameTurn",
            [this](Ticket import) {
                toast_.updateMessage(import, QStringLiteral("Video added"));
                toast_.hide(import, 1.5);
                toast_.show(QStringLiteral("Aurora"), QStringLiteral("Applying..."), QImage(), 0.5, true);
            },
            QStringLiteral("Video added")},
        {"endOnThePanelThenShownOver",
            [this](Ticket import) {
                toast_.updateMessage(import, QStringLiteral("Video added"));
                toast_.hide(import, 1.5);
                turnTheLoop();
                EXPECT_EQ(toast_.message(), QStringLiteral("Video added"));
                toast_.show(QStringLiteral("Aurora"), QStringLiteral("Applying..."), QImage(), 0.5, true);
            },
            QString()},
        {"failedWhileShownOver",
            [this](Ticket import) {
                toast_.show(QStringLiteral("Aurora"), QStringLiteral("Applying..."), QImage(), 0.5, true);
                toast_.leaveTurns(import);
                toast_.hide(import, 0);
            },
            QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Ticket import = startImport();
        ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
        c.endAndCover(import);
        turnTheLoop();
        ASSERT_TRUE(toast_.isPresented());
        ASSERT_EQ(toast_.title(), QStringLiteral("Aurora"));
        delays_.advance(5'000);
        hideShown();
        if (c.back.isEmpty()) {
            expectCleared();
            EXPECT_FALSE(toast_.isWaiting(import));
            continue;
        }
        EXPECT_TRUE(toast_.isShowing(import));
        EXPECT_EQ(toast_.message(), c.back);
        ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
        delays_.advance(1'500);
        EXPECT_FALSE(toast_.isPresented());
        delays_.advance(NotificationManager::kResetDelayMs);
        expectCleared();
    }
}

// An end shown over in the same turn as its hide comes back for the whole time its owner asked,
// from when it is on the panel again: the hide asked before it was shown over has no say then,
// whether it falls due while the end is back or just before it reappears.
TEST_F(NotificationManagerTurnsTest, AnEndShownOverInItsHidingTurnGetsItsWholeTime)
{
    const struct {
        const char* name;
        // When the covering toast hides; its panel clears half a second later.
        int coverHidesAtMs;
        // Runs the event loop between that clearing and the earlier hide's time.
        bool turnsBeforeTheEarlierHide;
    } cases[] = {
        // Longer than "Wallpaper applied" takes to read.
        {"earlierHideFallsWhileItIsBack", 600, true},
        {"earlierHideFallsBeforeItReappears", 1'400, false},
    };
    constexpr int kEndMs = 2'000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedToast recorded;
        auto& [delays, toast, hidden] = recorded;
        const Ticket import = toast.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.1, true);
        toast.takeTurns(import);
        ASSERT_EVENTUALLY(toast.isPresented(), kWaitMs);
        toast.setMessage(import, QStringLiteral("Video added"));
        toast.hide(import, kEndMs / 1000.0);
        const Ticket cover = toast.show(QStringLiteral("Aurora"), QStringLiteral("Wallpaper applied"), QImage(), 1, true);
        turnTheLoop();
        int now = 0;
        const auto advanceTo = [&](int ms) {
            delays.advance(ms - now);
            now = ms;
        };
        toast.hide(cover, c.coverHidesAtMs / 1000.0);
        advanceTo(c.coverHidesAtMs);
        ASSERT_FALSE(toast.isPresented());
        advanceTo(c.coverHidesAtMs + NotificationManager::kResetDelayMs);
        ASSERT_TRUE(toast.isShowing(import));
        int backAt = 0;
        if (c.turnsBeforeTheEarlierHide) {
            turnTheLoop();
            ASSERT_TRUE(toast.isPresented());
            backAt = now;
        }
        advanceTo(kEndMs);
        ASSERT_EVENTUALLY(toast.isPresented(), kWaitMs) << "never shown again";
        if (!c.turnsBeforeTheEarlierHide)
            backAt = now;
        EXPECT_EQ(toast.message(), QStringLiteral("Video added"));
        advanceTo(backAt + kEndMs - 1);
        EXPECT_TRUE(toast.isPresented()) << "cut short";
        advanceTo(backAt + kEndMs);
        EXPECT_FALSE(toast.isPresented());
        advanceTo(now + NotificationManager::kResetDelayMs);
        EXPECT_EQ(hidden, (QStringList{QStringLiteral("Wallpaper applied"), QStringLiteral("Video added")}));
        EXPECT_EQ(toast.message(), QString());
    }
}

// A toast whose work a newer choice replaced never comes back once shown over, and one still on
// the panel goes, unless the newer choice shows its own within two turns of the event loop.
TEST_F(NotificationManagerTurnsTest, AWithdrawnToastSaysNothingMore)
{
    const struct {
        const char* name;
        bool coveredFirst;
        bool newerToast;
        QStringList hidden;
    } cases[] = {
        {"shownOverThenWithdrawn", true, false, {QStringLiteral("Wallpaper applied")}},
        {"withdrawnThenShownOver", false, true, {QStringLiteral("Wallpaper applied")}},
        {"withdrawnWithNothingNewer", false, false, {QStringLiteral("Downloading wallpaper")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordedToast recorded;
        auto& [delays, toast, hidden] = recorded;
        const Ticket tray = toast.show(QString(), QStringLiteral("Downloading wallpaper"), QImage(), 0.2, true);
        toast.takeTurns(tray);
        ASSERT_EVENTUALLY(toast.isPresented(), kWaitMs);
        const auto showNewer = [&] {
            const Ticket newer = toast.show(QStringLiteral("Aurora"), QStringLiteral("Wallpaper applied"), QImage(), 1, true);
            toast.hide(newer, 2.0);
        };
        if (c.coveredFirst)
            showNewer();
        toast.withdraw(tray);
        if (c.newerToast)
            showNewer();
        turnTheLoop();
        EXPECT_EQ(toast.isPresented(), c.coveredFirst || c.newerToast);
        delays.advance(2'000);
        delays.advance(NotificationManager::kResetDelayMs);
        turnTheLoop();
        delays.advance(5'000);
        EXPECT_FALSE(toast.isPresented()) << "the replaced toast came back";
        EXPECT_FALSE(toast.isWaiting(tray));
        EXPECT_EQ(hidden, c.hidden);
    }
}

// Two long operations shown over in turn come back newest first, each with its own content.
TEST_F(NotificationManagerTurnsTest, WaitingToastsComeBackNewestFirst)
{
    const Ticket import = startImport();
    const Ticket upload = toast_.show(QString(), QStringLiteral("Uploading file..."), QImage(), 0.5, true);
    toast_.takeTurns(upload);
    ASSERT_TRUE(present(QStringLiteral("Aurora")));
    hideShown();
    EXPECT_TRUE(toast_.isShowing(upload));
    EXPECT_EQ(toast_.message(), QStringLiteral("Uploading file..."));
    EXPECT_FALSE(toast_.isCancellable());
    hideShown();
    EXPECT_TRUE(toast_.isShowing(import));
    EXPECT_EQ(toast_.message(), QStringLiteral("Copying clip.mp4…"));
    EXPECT_TRUE(toast_.isCancellable());
}
} // namespace
