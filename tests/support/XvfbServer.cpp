#include "support/XvfbServer.h"

#include "TestPaths.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {
constexpr int kStartMs = 20'000;

QString xvfbPath() { return QStandardPaths::findExecutable(QStringLiteral("Xvfb")); }

// Every thread's stack of a child that outlived its time: a child stuck between two of its own
// waits prints nothing, and only its stacks say where it stopped.
QString stacksOf(qint64 pid)
{
    const QString gdb = QStandardPaths::findExecutable(QStringLiteral("gdb"));
    if (gdb.isEmpty() || pid <= 0)
        return QStringLiteral("\n(no gdb to show where the child stopped)\n");
    QProcess debugger;
    debugger.setProcessChannelMode(QProcess::MergedChannels);
    debugger.start(gdb, {QStringLiteral("-batch"), QStringLiteral("-nx"), QStringLiteral("-p"), QString::number(pid),
                         QStringLiteral("-ex"), QStringLiteral("thread apply all bt 30")});
    if (!debugger.waitForFinished(60'000))
        debugger.kill();
    return QStringLiteral("\nWhere the child stopped:\n") + QString::fromUtf8(debugger.readAll());
}
} // namespace

XvfbServer::XvfbServer(const QStringList& arguments)
{
    // Xvfb writes the display number it chose to the descriptor given with -displayfd. Without
    // -noreset the server resets whenever its last client leaves, and a client connecting in that
    // moment (a child test, a tray panel, a poll of the window tree) is turned away.
    server_.start(xvfbPath(), QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                                          QStringLiteral("-nolisten"), QStringLiteral("tcp")} + arguments);
    if (server_.waitForReadyRead(kStartMs))
        display_ = QLatin1Char(':') + QString::fromUtf8(server_.readLine().trimmed());
}

XvfbServer::~XvfbServer()
{
    if (server_.state() == QProcess::NotRunning)
        return;
    server_.terminate();
    if (!server_.waitForFinished(kStartMs))
        server_.kill();
    server_.waitForFinished();
}

void XvfbServer::kill()
{
    server_.kill();
    server_.waitForFinished();
}

bool XvfbServer::isInstalled() { return !xvfbPath().isEmpty(); }

bool XvfbServer::canSplitMonitors() { return isInstalled() && !QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty(); }

// RandR monitors, which Qt reads as two screens side by side: Xvfb's own multi-screen modes give
// either separate X screens or Xinerama heads stacked at the same origin. The server keeps the
// monitors after xrandr, its last client, leaves, since it never resets.
std::unique_ptr<XvfbServer> XvfbServer::twoMonitors()
{
    auto server = std::make_unique<XvfbServer>(QStringList{QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("3840x1080x24")});
    if (!server->isRunning()) {
        ADD_FAILURE() << "Xvfb did not start";
        return server;
    }
    setMonitors(server->environment(),
        {QStringLiteral("LEFT 1920/508x1080/286+0+0 screen"), QStringLiteral("RIGHT 1920/508x1080/286+1920+0 none")});
    return server;
}

QProcessEnvironment XvfbServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    // The X platform loads libraries whose process-long allocations are known leaks.
    if (!environment.contains(QStringLiteral("LSAN_OPTIONS")))
        environment.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=") + TestPaths::sourceFile(QStringLiteral("tests/lsan.supp")));
    return environment;
}

bool setMonitors(const QProcessEnvironment& environment, const QStringList& monitors)
{
    for (const QString& monitor : monitors) {
        QProcess setMonitor;
        setMonitor.setProcessEnvironment(environment);
        setMonitor.start(QStringLiteral("xrandr"), QStringList{QStringLiteral("--setmonitor")} + monitor.split(QLatin1Char(' ')));
        if (!setMonitor.waitForFinished(kStartMs) || setMonitor.exitCode() != 0) {
            ADD_FAILURE() << setMonitor.readAllStandardError().constData();
            return false;
        }
    }
    return true;
}

void startTestChild(QProcess& child, QProcessEnvironment environment, const QString& filter)
{
    for (const char* name : {"GTEST_TOTAL_SHARDS", "GTEST_SHARD_INDEX", "GTEST_SHARD_STATUS_FILE"})
        environment.remove(QLatin1String(name));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
}

ChildTestRun rerunCurrentTestOn(QProcessEnvironment environment, const char* childVariable, int timeoutMs, const QString& platform)
{
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.insert(QLatin1String(childVariable), QStringLiteral("1"));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    startTestChild(child, environment,
                   QStringLiteral("%1.%2").arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name())));
    ChildTestRun run;
    run.finished = child.waitForFinished(timeoutMs);
    QString stacks;
    if (!run.finished) {
        stacks = stacksOf(child.processId());
        child.kill();
        child.waitForFinished();
    }
    run.exitCode = child.exitCode();
    run.output = QString::fromUtf8(child.readAll()) + stacks;
    return run;
}
