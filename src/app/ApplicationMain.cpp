#include "app/ApplicationMain.h"

#include "app/VideoWallpaperApp.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/LikedWallpapersService.h"
#include "platform/Http.h"
#include "platform/HttpWorker.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/UrlSchemeRegistration.h"
#include "signalry/Signalry.h"
#include "signalry/SignalryManagerConfiguration.h"

#include <QApplication>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {
// The analytics client is configured before the launch sequence, so signals sent during launch
// find it ready.
void startAnalytics()
{
    const Config& config = Config::current();
    auto analytics = std::make_shared<signalry::SignalryManagerConfiguration>(config.analyticsAppId, std::nullopt,
        config.analyticsUrl.isEmpty() ? std::nullopt : std::optional<QUrl>(config.analyticsUrl));
    if (!config.caCertificateFile.isEmpty() && !analytics->addCaCertificatesFromFile(config.caCertificateFile))
        logLine(QStringLiteral("⚠️"), QStringLiteral("Quorvelle"), QStringLiteral("No certificate in ") + config.caCertificateFile);
    signalry::Signalry::initialize(std::move(analytics));
}
} // namespace

int ApplicationMain::run(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("Quorvelle %s\n", QUORVELLE_VERSION);
            return 0;
        }
    }

    HttpWorker::preferPlainEventLoops();
    QApplication app(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quorvelle"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVELLE_VERSION));
    // The window's application id on Wayland (and its WM class on X11): the desktop entry's
    // name, so the desktop finds the program's name and icon.
    QGuiApplication::setDesktopFileName(UrlSchemeRegistration::applicationId());
    QApplication::setQuitOnLastWindowClosed(false);

    // A logout or kill ends the process through quit(), so the termination steps still run.
    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [](int) { QApplication::quit(); });

    logLine(QStringLiteral("🚀"), QStringLiteral("Quorvelle"), QStringLiteral("Started version ") + QStringLiteral(QUORVELLE_VERSION));
    VideoWallpaperApp wallpaperApp(QApplication::arguments(), [](const QString& name, const QHash<QString, QString>& parameters) {
        signalry::Signalry::signal(name, parameters);
    });
    if (!wallpaperApp.claimInstance())
        return 0;
    startAnalytics();
    Http::shared().prepareTrust();
    wallpaperApp.launch();
    const int code = QApplication::exec();
    // Each step of the exit that ends restarts the deadline of a signal: a slow exit that keeps
    // going ends by itself, with its saves.
    UnixSignalWatcher::extendDeadline();
    // Settings and likes are written behind; what is still to be written lands first.
    LikedWallpapersService::shared().flush();
    UserDefaults::standard().flush();
    UnixSignalWatcher::extendDeadline();
    // Qt's network thread ends with the calls still in flight, before the application goes.
    Http::shared().shutDown();
    UnixSignalWatcher::extendDeadline();
    // Delivering the last signals runs the event loop again, which can still store posters; they
    // are written on workers with the image plugins, which go with the application.
    signalry::Signalry::terminate();
    UnixSignalWatcher::extendDeadline();
    WallpaperImageCache::shared().waitForDiskWrites();
    UnixSignalWatcher::extendDeadline();
    logLine(QStringLiteral("👋"), QStringLiteral("Quorvelle"), QStringLiteral("Quit"));
    return code;
}
