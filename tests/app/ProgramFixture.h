#pragma once

#include "PrivateSessionBus.h"
#include "ProgramRun.h"
#include "support/XvfbServer.h"

#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "support/SampleCatalogueFixture.h"
#include "support/ReviewPicture.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <memory>

// The real program on a display of its own, its folders in a temporary folder, its backend the
// in-process sample catalogue and its session bus a private one (no system bus at all).
class ProgramFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (ProgramRun::programPath().isEmpty())
            GTEST_FAIL() << "the quorvelle program is not built beside the tests";
        ASSERT_TRUE(catalogue.isRunning());
        ASSERT_TRUE(bus.isRunning());
        QDir().mkpath(folder.file(QStringLiteral("runtime")));
        QFile::setPermissions(folder.file(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CACHE_HOME"), Paths::caches());
        env.insert(QStringLiteral("XDG_DATA_HOME"), Paths::applicationSupport());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Paths::configuration());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.file(QStringLiteral("runtime")));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=") + folder.file(QStringLiteral("no-system-bus")));
        pointAt(env, catalogue);
        if (display.isRunning()) {
            env.insert(QStringLiteral("DISPLAY"), display.display());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        } else {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        }
        return env;
    }
    // The environment of a launch that has no display to show anything on.
    QProcessEnvironment offscreenEnvironment() const
    {
        QProcessEnvironment env = environment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    // Points the program's outside services at `server`.
    static void pointAt(QProcessEnvironment& env, const SampleCatalogueFixture& server)
    {
        const Config& config = server.config();
        env.insert(QStringLiteral("QUORVELLE_BACKEND_URL"), config.backendBaseUrl.toString());
        env.insert(QStringLiteral("QUORVELLE_BACKEND_KEY"), config.backendKey);
        env.insert(QStringLiteral("QUORVELLE_ANALYTICS_URL"), config.analyticsUrl.toString());
        env.insert(QStringLiteral("QUORVELLE_UPDATE_FEED_URL"), config.updateFeedUrl.toString());
        env.insert(QStringLiteral("QUORVELLE_CA_CERT"), config.caCertificateFile);
    }

    // Waits for the launch's own tasks to end, so the program quits with none suspended halfway.
    static void waitForLaunch(ProgramRun& program)
    {
        ASSERT_TRUE(program.waitForLine(QStringLiteral("Application launched with menu bar"))) << program.output().toStdString();
        ASSERT_TRUE(program.waitForLine(QStringLiteral("[UpdateCheckService] Update check complete"))) << program.output().toStdString();
        ASSERT_TRUE(program.waitForLine(QStringLiteral("handled by this copy"))) << program.output().toStdString();
    }

    // What the display shows, saved beside the test program for a reviewer.
    QImage screen(const QString& name) const
    {
        const QTemporaryDir shots;
        const QString file = shots.filePath(QStringLiteral("screen.png"));
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-display"), display.display(), QStringLiteral("-window"),
                                                         QStringLiteral("root"), file});
        const QImage picture(file);
        keepReviewPicture(picture, QStringLiteral("ui-screenshots"), name);
        return picture;
    }

    // Runs xdotool on the display, as a user's pointer and keys.
    void pointer(const QStringList& arguments) const
    {
        QProcess xdotool;
        xdotool.setProcessEnvironment(display.environment());
        xdotool.start(QStringLiteral("xdotool"), arguments);
        EXPECT_TRUE(xdotool.waitForFinished(10'000) && xdotool.exitCode() == 0) << arguments.join(u' ').toStdString();
    }

    // The program's standard defaults as it left them (read afresh from its file).
    static std::unique_ptr<UserDefaults> savedDefaults() { return std::make_unique<UserDefaults>(); }

    TempFolder folder;
    SampleCatalogueFixture catalogue;
    PrivateSessionBus bus;
    XvfbServer display{{QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24")}};
};
