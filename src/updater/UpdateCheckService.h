#pragma once

#include "platform/ApplicationBundle.h"
#include "state/Delays.h"
#include "updater/UpdateInfo.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class Relauncher;

// The application's own updater: reads the update feed, compares its version with the running
// one, downloads a newer build into its private working folder and installs it into the
// applications folder, then relaunches the new bundle and ends this process. GUI thread; one
// shared instance, made on first use and kept until exit.
class UpdateCheckService : public QObject {
    Q_OBJECT

public:
    // A fraction of the download done, or nothing while the total size is unknown.
    using DownloadProgress = std::function<void(std::optional<double> fraction)>;
    // A fraction of the installation done; each report arrives on a later turn of the event loop.
    using InstallProgress = std::function<void(double fraction)>;

    // What the updater touches outside itself.
    struct Environment {
        ApplicationBundle runningBundle;
        QString applicationsFolder;
        Delays delays;                    // the short pauses of the check, the delay before quitting
        std::function<void()> terminate;  // ends the application once the relaunch is under way

        // This process's bundle, ~/Applications, real timers, and quitting the application.
        static Environment real();
    };

    // The feed of the deployment configuration and the real environment.
    UpdateCheckService();
    UpdateCheckService(QUrl appcastURL, Environment environment, QObject* parent = nullptr);
    ~UpdateCheckService() override;

    static UpdateCheckService& shared();

    const QUrl& appcastURL() const { return appcastURL_; }

    // The newer version's download, or nothing: no newer version, or any failure (logged).
    QCoro::Task<std::optional<UpdateInfo>> checkForUpdates();
    // Whether the last check read the feed: false when it could not be fetched, so "nothing"
    // meant the feed was out of reach rather than no newer version.
    bool lastCheckReachedFeed() const { return feedReached_; }

    // Whether `candidate` is a later version than `current`: the dot-separated pieces compare
    // in order by their leading digits (none counts 0), a missing piece counting 0.
    static bool isNewerVersion(const QString& candidate, const QString& current);

    // Downloads the update into the working folder and returns the file's path. Only an
    // https address on the feed's own host is fetched. Throws on any failure, leaving no file.
    QCoro::Task<QString> downloadUpdate(UpdateInfo updateInfo, DownloadProgress progress);

    // Installs the downloaded file by its kind (".dmg", ".zip", ".app", whatever the case), then
    // starts the relaunch and schedules the termination. Throws on any failure, with the
    // installed application untouched and the application left running.
    QCoro::Task<> installUpdate(QString file, InstallProgress progress);

    // Removes downloaded update files.
    QCoro::Task<> discardDownloads();

    static QString downloadDirectory();

private:
    QCoro::Task<> pause();
    bool isOnFeedHost(const QUrl& address) const;

    const QUrl appcastURL_;
    Environment environment_;
    std::unique_ptr<Relauncher> relauncher_;
    bool feedReached_ = true;
};
