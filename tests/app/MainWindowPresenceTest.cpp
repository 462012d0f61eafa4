#include "app/AppRootView.h"
#include "app/MainWindow.h"
#include "app/MainWindowPresence.h"
#include "app/MainWindowSize.h"
#include "app/ShellDefaults.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/ScreenInfo.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeView.h"
#include "screens/browse/LikedView.h"
#include "screens/settings/SettingsView.h"
#include "support/FakeScreens.h"

#include <QApplication>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

struct SizeCase {
    int visibleHeight;
    QSize expected;
};

class MainWindowSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(MainWindowSizeTest, FollowsTheMainDisplaysUsableHeight)
{
    ScreenInfo screen = FakeScreens::display(QStringLiteral("Main"), QRect(0, 0, 3000, GetParam().visibleHeight + 40));
    screen.visibleGeometry = QRect(0, 40, 3000, GetParam().visibleHeight);
    EXPECT_EQ(MainWindowSize::forScreen(screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Heights, MainWindowSizeTest,
    ::testing::Values(SizeCase{1000, {1280, 800}}, SizeCase{1250, {1600, 1000}}, SizeCase{2000, {1600, 1000}}, SizeCase{600, {768, 480}}));

TEST(MainWindowSizeTest, WithoutADisplayItIsTheLargestSize) { EXPECT_EQ(MainWindowSize::forScreen(std::nullopt), QSize(1600, 1000)); }

// The presence over its own activation policy, with main windows built on the fake main display.
class MainWindowPresenceTest : public ::testing::Test {
protected:
    using Policy = ActivationPolicy::Policy;

    ~MainWindowPresenceTest() override
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows)
            if (qobject_cast<MainWindow*>(window))
                delete window;
    }

    static ScreenInfo display()
    {
        ScreenInfo screen = FakeScreens::display(QStringLiteral("Main"), QRect(0, 0, 2000, 1300));
        screen.visibleGeometry = QRect(0, 50, 2000, 1250);
        return screen;
    }
    // A main window; the stores its pages read log their loading, which is none of the presence's.
    MainWindow* newWindow()
    {
        auto* window = new MainWindow();
        log.clear();
        return window;
    }
    // What the presence said of the task-bar entry: the stores the window's pages read log their
    // loading too, whenever their reads end.
    QStringList dockLines() const
    {
        QStringList lines = log.lines();
        lines.removeIf([](const QString& line) { return !line.contains(QStringLiteral("dock dot")); });
        return lines;
    }
    // The presence's steps run a moment after what starts them: each case waits for the step's
    // outcome, however long a loaded machine takes to get there.
    static bool settled(const std::function<bool()>& outcome) { return QTest::qWaitFor(outcome, 10'000); }

    FakeScreens screens{{display()}};
    Shared<Screens>::Override screensGuard{screens};
    UserDefaults defaults{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    ActivationPolicy policy;
    int windowsMade = 0;
    MainWindowPresence presence{policy, defaults, [this] {
                                    ++windowsMade;
                                    return new MainWindow();
                                }};
    LogCapture log;
};

TEST_F(MainWindowPresenceTest, ThePolicyFollowsTheShownMainWindows)
{
    auto* window = newWindow();
    window->show();
    log.clear(); // the stores the pages read on first show say how they started
    presence.attachWindowDelegate();
    presence.updateDockVisibility();
    EXPECT_TRUE(dockLines().isEmpty()); // regular already

    // A desktop-level window and a tool window never keep the task-bar entry.
    QWidget desktop(nullptr, Qt::Window | Qt::WindowStaysOnBottomHint | Qt::WindowDoesNotAcceptFocus);
    desktop.show();
    QWidget tool(nullptr, Qt::Tool);
    tool.show();
    window->close();
    ASSERT_TRUE(settled([&] { return policy.policy() == Policy::Accessory; }));
    EXPECT_EQ(presence.currentActivationPolicy(), Policy::Accessory);
    EXPECT_EQ(dockLines(), QStringList{"❌ All windows closed - hiding dock dot (setting to .accessory)"});

    presence.updateDockVisibility();
    EXPECT_EQ(dockLines().size(), 1);
}

TEST_F(MainWindowPresenceTest, AMinimisedWindowStillCounts)
{
    auto* window = newWindow();
    window->showMinimized();
    log.clear(); // the stores the pages read on first show say how they started
    presence.updateDockVisibility();
    EXPECT_EQ(policy.policy(), Policy::Regular);
    EXPECT_TRUE(dockLines().isEmpty());
}

TEST_F(MainWindowPresenceTest, ShowingWithNoWindowLeftBuildsACentredOne)
{
    auto* first = new MainWindow();
    first->show();
    presence.attachWindowDelegate();
    first->close();
    ASSERT_TRUE(settled([&] { return policy.policy() == Policy::Accessory; }));

    log.clear();
    presence.showMainWindow();
    ASSERT_TRUE(settled([&] { return windowsMade == 1 && presence.manualWindow() && presence.manualWindow()->isVisible(); }));
    QWidget* made = presence.manualWindow();
    ASSERT_TRUE(made);
    EXPECT_NE(made, first);
    EXPECT_TRUE(made->isVisible());
    EXPECT_EQ(made->size(), QSize(1600, 1000));
    EXPECT_EQ(made->minimumSize(), made->maximumSize());
    EXPECT_EQ(made->pos(), QPoint(200, 175));
    EXPECT_FALSE(made->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(defaults.boolean(ShellDefaults::hasShownWindowThisSession));
    EXPECT_FALSE(defaults.boolean(ShellDefaults::hiddenDueToLoginLaunch));
    EXPECT_EQ(policy.policy(), Policy::Regular);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Main windows exist - showing dock dot (setting to .regular)")));

    made->close();
    EXPECT_FALSE(presence.manualWindow());
}

TEST_F(MainWindowPresenceTest, AHiddenWindowIsBroughtBackNotRebuilt)
{
    auto* hidden = new MainWindow();
    presence.showMainWindow();
    ASSERT_TRUE(settled([&] { return hidden->isVisible(); }));
    EXPECT_EQ(windowsMade, 0);

    EXPECT_TRUE(presence.applicationShouldHandleReopen(true));
    EXPECT_TRUE(log.contains(QStringLiteral("🔄 Dock icon clicked - hasVisibleWindows: true")));
}

// A launch at login keeps the window hidden: its pages cost nothing until it shows, then stay.
TEST_F(MainWindowPresenceTest, AWindowBuildsItsPagesWhenItFirstShows)
{
    auto* window = newWindow();
    EXPECT_EQ(window->rootView(), nullptr);
    window->show();
    QWidget* root = window->rootView();
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->isVisible());
    EXPECT_EQ(root->parentWidget(), window->rootContainer());
    window->hide();
    window->show();
    EXPECT_EQ(window->rootView(), root);
}

// A launch at login makes no main window: the first show, from the tray or a second launch,
// makes it then, open on Home, with the other tabs' pages still unbuilt.
TEST_F(MainWindowPresenceTest, TheFirstShowMakesTheWindowOpenOnHome)
{
    const auto mainWindowCount = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::count_if(windows.begin(), windows.end(), [](QWidget* window) { return qobject_cast<MainWindow*>(window); });
    };
    ASSERT_EQ(mainWindowCount(), 0);
    presence.trayWindowControl().showMainWindow();
    ASSERT_TRUE(settled([&] { return windowsMade == 1; }));
    EXPECT_EQ(mainWindowCount(), 1);
    auto* window = qobject_cast<MainWindow*>(presence.manualWindow());
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    auto* root = qobject_cast<AppRootView*>(window->rootView());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->selectedTab(), AppTab::Home);
    auto* home = root->findChild<HomeView*>();
    ASSERT_TRUE(home);
    EXPECT_TRUE(home->isVisible());
    EXPECT_FALSE(root->findChild<ExploreView*>());
    EXPECT_FALSE(root->findChild<LikedView*>());
    EXPECT_FALSE(root->findChild<SettingsView*>());
}

} // namespace
