#include "Backdrop.h"
#include "Screenshot.h"
#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "platform/Http.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "ui/AnimatedValue.h"
#include "ui/HeaderRow.h"
#include "ui/NavButtonBar.h"
#include "ui/NavIconButton.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The header over a page: logo, tab bar, the navigation buttons; then the same while the home
// page loads, and half-way in.
TEST(ShellLook, HeaderRowShownHiddenAndComingIn)
{
    APIService api{APIService::Settings::deployment(), Clock::system(), Http::shared()};
    HomePageService homePage{api};
    homePage.setShowingLoader(false);
    Backdrop root(true);
    root.resize(1000, 110);
    auto* trailing = new QWidget;
    auto* buttons = new QHBoxLayout(trailing);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(HeaderRow::kSpacing);
    buttons->addWidget(new NavButtonBar({NavIconButton::search()}));
    buttons->addStretch();
    buttons->addWidget(new NavButtonBar({NavIconButton::upload(), NavIconButton::settings()}));
    auto* row = new HeaderRow(homePage, trailing, &root);
    root.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&root));
    saveScreenshot(root, QStringLiteral("header-shown"));

    homePage.setShowingLoader(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !row->isVisible(); }, 5000));
    saveScreenshot(root, QStringLiteral("header-hidden"));

    // Held half-way: a loaded machine may pass the whole move between two looks at it.
    homePage.setShowingLoader(false);
    AnimatedValue& move = row->presentationMove();
    ASSERT_EQ(move.state(), QAbstractAnimation::Running);
    move.pause();
    move.setCurrentTime(move.duration() / 2);
    EXPECT_GT(row->presentation(), 0.2);
    EXPECT_LT(row->presentation(), 0.95);
    saveScreenshot(root, QStringLiteral("header-coming-in"));
    EXPECT_LT(row->y(), HeaderRow::kTop) << "moves down from above the top edge";
    move.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return row->presentation() == 1; }, 5000));
}

TEST(ShellLook, ToastsWithAndWithoutProgressAndThumbnail)
{
    QImage thumbnail(160, 90, QImage::Format_RGB32);
    QPainter painter(&thumbnail);
    QLinearGradient sky(0, 0, 160, 90);
    sky.setColorAt(0, QColor(250, 170, 80));
    sky.setColorAt(1, QColor(60, 90, 170));
    painter.fillRect(thumbnail.rect(), sky);
    painter.end();

    const struct {
        const char* name;
        QString message;
        bool withThumbnail;
        double progress;
        bool showProgress;
    } cases[] = {
        {"toast-progress-thumbnail", QStringLiteral("Downloading wallpaper..."), true, 0.4, true},
        {"toast-progress", QStringLiteral("Downloading wallpaper..."), false, 0.75, true},
        {"toast-thumbnail", QStringLiteral("Wallpaper applied"), true, 0, false},
        {"toast-message-only", QStringLiteral("Applying the wallpaper to every display, this can take a moment"), false, 0, false},
        {"toast-empty-progress", QString(), false, 0, true},
    };
    for (const auto& row : cases) {
        NotificationManager manager;
        Backdrop host(true);
        host.resize(420, 220);
        auto* overlay = new NotificationToastOverlay(manager, &host);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        manager.show(QStringLiteral("Title"), row.message, row.withThumbnail ? thumbnail : QImage(), row.progress, row.showProgress);
        NotificationToast& toast = *overlay->toast();
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return toast.isPresented() && toast.opacity() == 1 && toast.geometry() == overlay->restingGeometry();
        }, 5000));
        saveScreenshot(host, QString::fromLatin1(row.name));
    }
}

} // namespace
