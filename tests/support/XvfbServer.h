#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

// An Xvfb X server for one test, on a display number it picks itself. Tests run under the
// offscreen platform, so the X11 half of a test runs again in a child process of the same test
// binary on this display (rerunCurrentTestOn).
class XvfbServer {
public:
    // Xvfb's own arguments after -displayfd, e.g. {"-screen", "0", "1920x1080x24"}.
    explicit XvfbServer(const QStringList& arguments = {QStringLiteral("-screen"), QStringLiteral("0"),
                                                        QStringLiteral("1920x1080x24")});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool isInstalled();
    // Xvfb and xrandr are there, so twoMonitors() can work.
    static bool canSplitMonitors();
    // A server whose one 3840×1080 screen is split into two 1920×1080 RandR monitors side by
    // side, "LEFT" (the primary) and "RIGHT"; a failure is reported as a test failure.
    static std::unique_ptr<XvfbServer> twoMonitors();
    bool isRunning() const { return !display_.isEmpty(); }
    QString display() const { return display_; }
    // Ends the server at once, as a crash or an X11 logout takes it away from its clients.
    void kill();
    // This process's environment with DISPLAY pointing at the server.
    QProcessEnvironment environment() const;

private:
    QProcess server_;
    QString display_;
};

// What a child run of one test printed and how it ended.
struct ChildTestRun {
    bool finished = false;
    int exitCode = -1;
    QString output;
    bool passed() const { return finished && exitCode == 0 && output.contains(QStringLiteral("[  PASSED  ] 1 test")); }
};

// Splits the X server's screen into the given RandR monitors ("NAME geometry output" each, as
// xrandr --setmonitor takes them); a failure is reported as a test failure.
bool setMonitors(const QProcessEnvironment& environment, const QStringList& monitors);

// Starts this test program again with `filter` as its --gtest_filter. The shard a run of it was
// given is left out: the child runs what the filter names, whichever shard its parent ran.
void startTestChild(QProcess& child, QProcessEnvironment environment, const QString& filter);

// Runs the current test again in a child process of this binary under the given Qt platform, with
// `childVariable` set so the test knows it is the X11 (or Wayland) half.
ChildTestRun rerunCurrentTestOn(QProcessEnvironment environment, const char* childVariable, int timeoutMs,
                                const QString& platform = QStringLiteral("xcb"));
