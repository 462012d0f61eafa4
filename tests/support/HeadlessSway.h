#pragma once

#include <QImage>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A headless sway for one test (tests/support/headless-sway), on the stock configuration: two
// 640x360 outputs, HEADLESS-1 and HEADLESS-2 to its right, each with sway's stock background, or
// the user's own (drawn by swaybg before the constructor returns), and its bar at the top. Tests run under the offscreen platform, so the Wayland half of a test
// runs again in a child process of the same test binary there:
// rerunCurrentTestOn(sway.environment(), kChildVariable, timeout, "wayland").
class HeadlessSway {
public:
    // What the user added to the stock configuration.
    struct Configuration {
        // Lines of their own, read after the stock configuration.
        QStringList lines;
        // Whether the stock `output * bg` line stays.
        bool stockBackground = true;
    };

    HeadlessSway();
    explicit HeadlessSway(const Configuration& configuration);
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    bool isRunning() const { return pid_ > 0; }
    // Ends the compositor, as a crash or a logout would.
    void stop();
    // Why sway is not running, as the script said it: for GTEST_SKIP.
    QString failure() const { return failure_; }
    // This process's environment with WAYLAND_DISPLAY and SWAYSOCK pointing at the compositor.
    QProcessEnvironment environment() const;

    // Inside the child (or any process whose environment has SWAYSOCK and WAYLAND_DISPLAY):
    // runs swaymsg with the arguments; false, with a test failure, when it fails.
    static bool swaymsg(const QStringList& arguments);
    // Inside the child: HEADLESS-2 off and the stock bar invisible, so the one window sway tiles
    // gets HEADLESS-1 whole; false, with a test failure, when sway refuses.
    static bool giveWindowsTheFirstOutput();
    // What the compositor shows on one output, taken with grim; null (and a test failure) on error.
    static QImage grab(const QString& output);

private:
    static QImage grabWith(const QProcessEnvironment& environment, const QString& output);
    bool waitForTheStockBackground() const;

    qint64 pid_ = 0;
    QString waylandDisplay_;
    QString swaySocket_;
    QString failure_;
};
