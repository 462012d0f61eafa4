#include "support/HeadlessSway.h"

#include "ImageCompare.h"
#include "TestPaths.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <optional>

namespace {
constexpr int kStartMs = 30'000;
const QStringList kOutputs{QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")};
// Far above a black or grey picture with a bar over it.
constexpr double kDrawn = 40.0;

// Runs a tool to its end; its standard output, or nothing (and a test failure) when it fails.
std::optional<QByteArray> runTool(const QString& program, const QStringList& arguments,
                                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(kStartMs) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << ' ' << arguments.join(u' ').toStdString() << ": "
                      << tool.readAllStandardError().toStdString();
        return std::nullopt;
    }
    return tool.readAllStandardOutput();
}
} // namespace

HeadlessSway::HeadlessSway() : HeadlessSway(Configuration{}) {}

HeadlessSway::HeadlessSway(const Configuration& configuration)
{
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVELLE_SWAY_CONFIG"), configuration.lines.join(u'\n'));
    environment.insert(QStringLiteral("QUORVELLE_SWAY_STOCK_BACKGROUND"), configuration.stockBackground ? QStringLiteral("1") : QStringLiteral("0"));
    script.setProcessEnvironment(environment);
    script.start(TestPaths::sourceFile(QStringLiteral("tests/support/headless-sway")), {QStringLiteral("start")});
    if (!script.waitForFinished(kStartMs)) {
        script.kill();
        script.waitForFinished();
        failure_ = QStringLiteral("headless-sway did not answer");
        return;
    }
    failure_ = QString::fromUtf8(script.readAllStandardError()).trimmed();
    for (const QByteArray& line : script.readAllStandardOutput().split('\n')) {
        const QString text = QString::fromUtf8(line);
        const QString value = text.section(QLatin1Char('='), 1);
        if (text.startsWith(QLatin1String("WAYLAND_DISPLAY=")))
            waylandDisplay_ = value;
        else if (text.startsWith(QLatin1String("SWAYSOCK=")))
            swaySocket_ = value;
        else if (text.startsWith(QLatin1String("SWAY_PID=")))
            pid_ = value.toLongLong();
    }
    if (script.exitCode() != 0 || waylandDisplay_.isEmpty() || swaySocket_.isEmpty())
        pid_ = 0;
    if (pid_ > 0 && !waitForTheStockBackground()) {
        failure_ = QStringLiteral("swaybg drew no background");
        stop();
    }
}

HeadlessSway::~HeadlessSway()
{
    stop();
}

void HeadlessSway::stop()
{
    if (pid_ > 0)
        ::kill(pid_t(pid_), SIGTERM);
    pid_ = 0;
}

QProcessEnvironment HeadlessSway::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay_);
    environment.insert(QStringLiteral("SWAYSOCK"), swaySocket_);
    // Qt's Wayland platform leaves its objects to the end of the process, allocated in libraries
    // built without frame pointers: telling them from ours would take the slow unwinder on every
    // allocation, which makes a program on Wayland several times slower and, on a busy machine,
    // slower than any wait for it. Leaks are checked where the same code runs on the other
    // platforms (and the Wayland layer's own against the platform tests' compositor).
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), (asan.isEmpty() ? asan : asan + QLatin1Char(':')) + QStringLiteral("detect_leaks=0"));
    return environment;
}

bool HeadlessSway::giveWindowsTheFirstOutput()
{
    return swaymsg({QStringLiteral("output"), QStringLiteral("HEADLESS-2"), QStringLiteral("disable")})
        && swaymsg({QStringLiteral("bar"), QStringLiteral("mode"), QStringLiteral("invisible")});
}

bool HeadlessSway::swaymsg(const QStringList& arguments)
{
    return runTool(QStringLiteral("swaymsg"), arguments).has_value();
}

QImage HeadlessSway::grab(const QString& output)
{
    return grabWith(QProcessEnvironment::systemEnvironment(), output);
}

QImage HeadlessSway::grabWith(const QProcessEnvironment& environment, const QString& output)
{
    const std::optional<QByteArray> png = runTool(QStringLiteral("grim"), {QStringLiteral("-t"), QStringLiteral("png"),
                                                                           QStringLiteral("-o"), output, QStringLiteral("-")},
                                                  environment);
    return png ? QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32) : QImage();
}

bool HeadlessSway::waitForTheStockBackground() const
{
    // Until swaybg has drawn, an output is black, or sway's own grey under its bar: a picture of
    // "the desktop" taken then is not what the desktop shows.
    QImage black(QSize(640, 360), QImage::Format_RGB32);
    black.fill(Qt::black);
    QImage grey(black.size(), QImage::Format_RGB32);
    grey.fill(QColor(0x40, 0x40, 0x40));
    const QProcessEnvironment environment = this->environment();
    return QTest::qWaitFor([&] {
        return std::all_of(kOutputs.cbegin(), kOutputs.cend(), [&](const QString& output) {
            const QImage shown = grabWith(environment, output);
            return meanChannelDifference(shown, black) > kDrawn && meanChannelDifference(shown, grey) > kDrawn;
        });
    }, kStartMs);
}
