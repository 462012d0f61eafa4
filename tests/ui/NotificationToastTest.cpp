#include "Screenshot.h"

#include "engine/ApplyToast.h"
#include "engine/WallpaperApplyService.h"
#include "platform/VideoTestClips.h"
#include "state/NotificationManager.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace {

QImage thumbnail()
{
    QImage picture(64, 36, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    return picture;
}

// A 220-wide card: 12 padding each side, the column after the 40 circle and 16 spacing, or 12
// further in without it; the track is the column less 5 trailing and 20.
TEST(NotificationToast, ColumnAndBarFollowTheThumbnailAndClampedProgress)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        bool thumbnail;
        double progress;
        qreal column;
        qreal track;
        qreal fill;
    } cases[] = {
        {true, 0.5, 68, 115, 57.5},
        {false, 0.5, 24, 159, 79.5},
        {true, 0, 68, 115, 0},
        {true, 1, 68, 115, 115},
        {true, -0.3, 68, 115, 0},
        {true, 7, 68, 115, 115},
        {true, nan, 68, 115, 0},
        {true, inf, 68, 115, 115},
    };
    for (const auto& row : cases) {
        NotificationToast toast;
        toast.setMessage(QStringLiteral("Downloading..."));
        toast.setThumbnail(row.thumbnail ? thumbnail() : QImage());
        toast.setProgress(row.progress);
        const NotificationToast::Parts parts = toast.parts(NotificationToast::kMaxWidth);
        EXPECT_EQ(parts.message.left(), row.column) << row.progress;
        EXPECT_EQ(parts.track.left(), row.column);
        EXPECT_DOUBLE_EQ(parts.track.width(), row.track) << row.thumbnail;
        EXPECT_DOUBLE_EQ(parts.fill.width(), row.fill) << row.progress;
        EXPECT_GE(parts.track.top(), parts.message.bottom() + 10 - 0.01);
        EXPECT_EQ(parts.thumbnail.isEmpty(), !row.thumbnail);
    }
}

TEST(NotificationToast, EmptyPartsTakeNoRoomAndLongTextWraps)
{
    NotificationToast toast;
    toast.setShowProgress(false);
    EXPECT_EQ(toast.heightForWidth(NotificationToast::kMaxWidth), 24) << "padding only";

    toast.setMessage(QStringLiteral("Done"));
    const int oneLine = toast.heightForWidth(NotificationToast::kMaxWidth);
    toast.setMessage(QStringLiteral("Applying the wallpaper to every display, this can take a moment"));
    EXPECT_GT(toast.heightForWidth(NotificationToast::kMaxWidth), oneLine);
    toast.setMessage(QString(80, QLatin1Char('W'))); // one word longer than a line
    const NotificationToast::Parts parts = toast.parts(NotificationToast::kMaxWidth);
    EXPECT_LE(parts.message.right(), NotificationToast::kMaxWidth - 12);
    EXPECT_GT(parts.height, 3 * oneLine / 2);
}

// A host whose whole area is a button, with a toast over it bound to a manager.
class NotificationToastOverlayTest : public ::testing::Test {
protected:
    NotificationToastOverlayTest()
    {
        host.resize(600, 400);
        button->setGeometry(host.rect());
        host.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    NotificationToast& toast() const { return *overlay->toast(); }
    bool atRest() const { return toast().isVisible() && toast().geometry() == overlay->restingGeometry() && toast().opacity() == 1; }
    // Clicks where the card rests, through the window as the pointer would.
    int clicksReachingTheButton()
    {
        QSignalSpy clicks(button, &QPushButton::clicked);
        QTest::mouseClick(host.windowHandle(), Qt::LeftButton, {}, overlay->restingGeometry().center());
        return int(clicks.count());
    }

    NotificationManager manager;
    QWidget host;
    QPushButton* button = new QPushButton(&host);
    NotificationToastOverlay* overlay = new NotificationToastOverlay(manager, &host);
};

TEST_F(NotificationToastOverlayTest, SpringsInAtTheBottomRightAndOutLettingClicksThrough)
{
    EXPECT_FALSE(toast().isVisible());
    EXPECT_EQ(clicksReachingTheButton(), 1);

    manager.show(QStringLiteral("Download"), QStringLiteral("Downloading..."), thumbnail(), 0.25, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return toast().isPresented(); }, 5000));
    EXPECT_GT(toast().x(), overlay->restingGeometry().x()) << "starts out to the right";
    ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(); }, 5000));
    const QRect rest = overlay->restingGeometry();
    EXPECT_EQ(rest.right() + 1, host.width() - 28);
    EXPECT_EQ(rest.bottom() + 1, host.height() - 40);
    EXPECT_EQ(rest.width(), NotificationToast::kMaxWidth);
    EXPECT_DOUBLE_EQ(toast().parts(rest.width()).fill.width(), 115 * 0.25);
    EXPECT_EQ(clicksReachingTheButton(), 0) << "the card takes the pointer over itself";

    manager.updateMessage(QStringLiteral("Applying the wallpaper to every display, this can take a moment"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay->restingGeometry().height() > rest.height() && atRest(); }, 5000));
    EXPECT_EQ(toast().geometry().bottom() + 1, host.height() - 40) << "grows upwards";

    manager.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !toast().isPresented(); }, 5000));
    EXPECT_EQ(clicksReachingTheButton(), 1) << "on its way out";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !toast().isVisible(); }, 5000));
    EXPECT_EQ(clicksReachingTheButton(), 1);
}

TEST_F(NotificationToastOverlayTest, NarrowHostKeepsTheMinimumWidth)
{
    const struct {
        int hostWidth;
        int cardWidth;
    } cases[] = {{600, 220}, {228, 200}, {100, 140}};
    for (const auto& row : cases) {
        host.resize(row.hostWidth, 300);
        EXPECT_EQ(overlay->restingGeometry().width(), row.cardWidth) << row.hostWidth;
        EXPECT_EQ(overlay->restingGeometry().right() + 1, row.hostWidth - 28);
    }
}

// The card keeps 12 pixels above a control kept clear that lies in its corner, follows the control
// when it moves, by itself or with what holds it, goes back to the corner once the control leaves
// it, and stays whole in the host where the control leaves it no room above.
TEST(NotificationToastPlacement, TheCardRestsClearAboveAKeptControlAndFollowsIt)
{
    NotificationManager manager;
    QWidget host;
    host.resize(600, 400);
    auto* overlay = new NotificationToastOverlay(manager, &host);
    auto* holder = new QWidget(&host);
    holder->setGeometry(host.rect());
    auto* control = new QWidget(holder);
    control->setGeometry(400, 330, 180, 40);
    NotificationToastOverlay::keepClearOf(control);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    manager.show(QString(), QStringLiteral("Downloading..."), thumbnail(), 0.4, true);
    NotificationToast* card = overlay->toast();
    // 220 wide, 28 from the right; the height is the card's own.
    const auto cardWithBottom = [&](int bottomEdge) {
        const int height = card->heightForWidth(220);
        return QRect(600 - 28 - 220, bottomEdge - height, 220, height);
    };

    enum class Move { stay, controlUp, holderUp, away, tall };
    const struct {
        const char* name;
        Move move;
        // Where the card's bottom edge rests; none: its top at the host's.
        std::optional<int> bottomEdge;
    } cases[] = {
        {"over the corner", Move::stay, 330 - 12},
        // Still under the card's corner: the card rests above it, wherever it went.
        {"the control moves up", Move::controlUp, 310 - 12},
        {"its holder moves up", Move::holderUp, 310 - 20 - 12},
        {"the control leaves the corner", Move::away, 400 - 40},
        {"no room above the control", Move::tall, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        switch (c.move) {
        case Move::stay:
            break;
        case Move::controlUp:
            control->move(400, 310);
            break;
        case Move::holderUp:
            holder->move(0, -20);
            break;
        case Move::away:
            holder->move(0, 0);
            control->move(20, 20);
            break;
        case Move::tall:
            control->setGeometry(400, 30, 180, 360);
            break;
        }
        QRect expected = cardWithBottom(c.bottomEdge.value_or(0));
        if (!c.bottomEdge)
            expected.moveTop(0);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return card->isVisible() && card->slideOffset() == 0 && card->opacity() == 1 && card->geometry() == expected;
        }, 5000)) << "the card rests at " << card->x() << ',' << card->y() << ' ' << card->width() << 'x' << card->height();
        EXPECT_TRUE(host.rect().contains(card->geometry()));
    }
}

} // namespace

namespace {
// An apply's toast shown over by an import's comes back once the import's toast has gone, and
// shows how the apply ended at rest in its corner.
TEST_F(NotificationToastOverlayTest, AnApplysToastShownOverComesBackWithItsEnd)
{
    ApplyToast apply(manager, std::make_shared<ApplyToast::Holder>(), 1, QStringLiteral("Misty Pine Valley"), std::nullopt);
    apply.show(ApplyToast::Stage::downloading, QStringLiteral("Downloading..."), 0.3, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(); }, 5000));
    const NotificationManager::Ticket import =
        manager.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.4, true);
    manager.takeTurns(import);
    apply.update(ApplyToast::Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
    apply.hide(30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return atRest(); }, 5000));
    EXPECT_EQ(manager.message(), QStringLiteral("Copying clip.mp4…"));

    manager.hide(import, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !toast().isPresented(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return toast().isPresented() && atRest(); }, 5000));
    EXPECT_EQ(manager.title(), QStringLiteral("Misty Pine Valley"));
    EXPECT_EQ(manager.message(), QStringLiteral("Wallpaper applied"));
    EXPECT_DOUBLE_EQ(toast().parts(toast().width()).fill.width(), toast().parts(toast().width()).track.width());
    saveScreenshot(host, QStringLiteral("apply-toast-back-after-covered"));
}

// A failure toast says why in full: the reason wraps inside the card, however long (a path is
// one long word), and the card stays whole inside the window.
TEST_F(NotificationToastOverlayTest, AFailureToastShowsItsWholeReason)
{
    const struct {
        const char* name;
        QString message;
    } cases[] = {
        {"lock-screen-install-failed", WallpaperApplyService::lockScreenFailedMessage(QStringLiteral("stopped at movie converted"))},
        {"lock-screen-apply-failed", QStringLiteral("Failed to apply lock screen wallpaper: Invalid response from server")},
        {"apply-failed-missing-file", QStringLiteral("Failed to apply wallpaper: The video at "
                                                     "/home/user/.local/share/Quorvelle/custom/1718000000137.mp4 could not be found. "
                                                     "Reinstall or choose another wallpaper.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const NotificationManager::Ticket shown = manager.show(QStringLiteral("Misty Pine Valley"), c.message, QImage(), 0, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return toast().isPresented() && manager.message() == c.message && atRest(); }, 5000));
        const NotificationToast::Parts parts = toast().parts(toast().width());
        EXPECT_TRUE(QRect(QPoint(), toast().size()).contains(parts.message.toAlignedRect())) << "the reason runs out of the card";
        EXPECT_GE(toast().height(), parts.height);
        EXPECT_TRUE(host.rect().contains(toast().geometry()));
        saveScreenshot(host, QStringLiteral("failure-toast-") + QString::fromLatin1(c.name));
        manager.hide(shown, 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !toast().isVisible(); }, 5000));
    }
}
} // namespace

namespace {
// An own video has no picture but itself: the apply's toast shows its first frame.
TEST_F(NotificationToastOverlayTest, AnOwnVideosApplyShowsItsFrame)
{
    ApplyToast apply(manager, std::make_shared<ApplyToast::Holder>(), 1, QStringLiteral("Harbour Lights"),
        VideoTestClips::loop());
    apply.show(ApplyToast::Stage::applying, QStringLiteral("Applying..."), 0.5, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.thumbnailImage().isNull() && atRest(); }, 10'000));
    EXPECT_FALSE(toast().parts(toast().width()).thumbnail.isEmpty()) << "the card shows the picture";
    saveScreenshot(host, QStringLiteral("apply-toast-own-video"));
}
} // namespace
