#include "menubar/MenuBarFixture.h"
#include "support/Eventually.h"
#include "support/ReviewPicture.h"
#include "support/XvfbServer.h"

#include "app/AppWindows.h"
#include "app/MainWindow.h"
#include "menubar/StatusItem.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

constexpr char kChildVariable[] = "QUORVELLE_TRAY_CHILD";
constexpr char kPanelVariable[] = "QUORVELLE_TRAY_PANEL";
constexpr int kWaitMs = 20'000;

struct Panel {
    const char* name;
    const char* tint; // trayer's panel colour
};

// The item in a real XEmbed tray: trayer on Xvfb, with a panel of the parameter's colour. The
// tray's half runs in a child process of this test program, on that display.
class MenuBarInATray : public ::testing::TestWithParam<Panel> {};

bool trayerIsUp(const QProcessEnvironment& environment)
{
    QProcess tree;
    tree.setProcessEnvironment(environment);
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    return tree.waitForFinished(kWaitMs) && tree.readAllStandardOutput().contains("(\"panel\" \"trayer\")");
}

TEST_P(MenuBarInATray, KeepsItsIconAndStandsOutOnThePanel)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        GTEST_SKIP() << "inside the child run";
    if (!XvfbServer::isInstalled() || QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and trayer (scripts/setup installs them)";
    XvfbServer display{{QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24")}};
    ASSERT_TRUE(display.isRunning());
    QProcessEnvironment environment = display.environment();

    QProcess trayer;
    trayer.setProcessEnvironment(environment);
    trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                            QStringLiteral("right"), QStringLiteral("--height"), QStringLiteral("24"),
                                            QStringLiteral("--transparent"), QStringLiteral("true"), QStringLiteral("--alpha"),
                                            QStringLiteral("0"), QStringLiteral("--tint"), QString::fromLatin1(GetParam().tint)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return trayerIsUp(environment); }, kWaitMs)) << "trayer did not start";

    environment.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    environment.insert(QString::fromLatin1(kPanelVariable), QString::fromLatin1(GetParam().name));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    startTestChild(child, environment, QStringLiteral("MenuBarInATrayChild.*"));
    ASSERT_TRUE(child.waitForFinished(120'000));
    const QString output = QString::fromUtf8(child.readAll());
    trayer.kill();
    trayer.waitForFinished();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 2 tests"))) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Panels, MenuBarInATray, ::testing::Values(Panel{"light", "0xf0f0f0"}, Panel{"dark", "0x202020"}),
    [](const ::testing::TestParamInfo<Panel>& row) { return std::string(row.param.name); });

class MenuBarInATrayChild : public MenuBarFixture {
protected:
    void SetUp() override
    {
        if (!qEnvironmentVariableIsSet(kChildVariable))
            GTEST_SKIP() << "runs inside MenuBarInATray only";
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        ASSERT_TRUE(QTest::qWaitFor([this] { return trayWindow() && !icon()->geometry().isEmpty(); }, kWaitMs))
            << "the icon never docked in the tray";
    }

    QSystemTrayIcon* icon() const { return manager_->statusItem().trayIcon(); }
    // The window Qt docks into an XEmbed tray.
    static QWidget* trayWindow()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows)
            if (window->inherits("QSystemTrayIconSys") && window->isVisible())
                return window;
        return nullptr;
    }
    // What the screen shows in the icon's slot.
    QImage slot() const
    {
        const QRect item = icon()->geometry();
        return QGuiApplication::primaryScreen()->grabWindow(0, item.x(), item.y(), item.width(), item.height()).toImage();
    }
    // How far the picture's own pixels are from the panel (its corners) in lightness; 0 when
    // nothing but panel shows.
    double contrast() const
    {
        const QImage shown = slot();
        const QColor panel = shown.pixelColor(0, 0);
        double sum = 0;
        int count = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QColor pixel = shown.pixelColor(x, y);
                if (std::abs(pixel.lightnessF() - panel.lightnessF()) < 0.05)
                    continue;
                sum += std::abs(pixel.lightnessF() - panel.lightnessF());
                ++count;
            }
        }
        return count < 20 ? 0 : sum / count;
    }
};

TEST_F(MenuBarInATrayChild, ClosingTheWindowsLeavesTheTrayIcon)
{
    struct Action {
        const char* name;
        std::function<void()> run;
    };
    const QList<Action> actions{{"Clear RAM", [this] { manager_->clearRAM(); }},
                                {"the login launch's hide", [] { AppWindows::orderOutNormalWindows(); }}};
    for (const Action& action : actions) {
        SCOPED_TRACE(action.name);
        // Closing may delete it.
        const QPointer<MainWindow> window = new MainWindow();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kExposeMs));
        action.run();
        settle();
        EXPECT_TRUE(!window || !window->isVisible());
        EXPECT_TRUE(trayWindow()) << "the tray icon was hidden with the windows";
        delete window;
    }
}

TEST_F(MenuBarInATrayChild, ThePictureStandsOutOnThePanel)
{
    const QString panel = qEnvironmentVariable(kPanelVariable);
    EXPECT_TRUE(QTest::qWaitFor([this] { return contrast() > 0.4; }, kWaitMs))
        << "on the " << panel.toStdString() << " panel the picture differs by " << contrast();
    keepReviewPicture(slot().scaled(88, 88), QStringLiteral("menubar-screenshots"), QStringLiteral("tray-") + panel);
}

} // namespace
