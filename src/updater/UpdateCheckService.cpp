#include "updater/UpdateCheckService.h"

#include "foundation/Async.h"
#include "foundation/CancelledError.h"
#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/Http.h"
#include "updater/AppcastReader.h"
#include "updater/Relauncher.h"
#include "updater/UpdateError.h"
#include "updater/UpdateInstaller.h"
#include "updater/UpdaterFolders.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QNetworkRequest>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {
constexpr int kPauseMs = 100;

void log(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("UpdateCheckService"), message); }

void logNoUpdate() { log(QStringLiteral("ℹ️"), QStringLiteral("Update check complete - no update available")); }

QString describe(const HttpResponse& response)
{
    return QStringLiteral("HTTP status %1 from %2").arg(response.status).arg(response.url.toString());
}

// The digits a version piece starts with, without leading zeros: "3-beta" gives "3", "rc1" "".
QStringView leadingNumber(QStringView piece)
{
    const auto end = std::find_if(piece.cbegin(), piece.cend(), [](QChar c) { return c < u'0' || c > u'9'; });
    QStringView digits = piece.first(end - piece.cbegin());
    while (digits.startsWith(u'0'))
        digits = digits.sliced(1);
    return digits;
}

// Compares two numbers written as digits without leading zeros, of any length.
int compareNumbers(QStringView left, QStringView right)
{
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

// The download's extension as the address gives it, "dmg" when it has none.
QString extensionOf(const QUrl& address)
{
    const QString extension = QFileInfo(address.fileName()).suffix();
    return extension.isEmpty() ? QStringLiteral("dmg") : extension;
}
} // namespace

UpdateCheckService::Environment UpdateCheckService::Environment::real()
{
    return {ApplicationBundle::running(), ApplicationBundle::defaultApplicationsFolder(), Delays::real(),
        [] { QCoreApplication::quit(); }};
}

UpdateCheckService::UpdateCheckService() : UpdateCheckService(Config::current().updateFeedUrl, Environment::real()) {}

UpdateCheckService::UpdateCheckService(QUrl appcastURL, Environment environment, QObject* parent)
    : QObject(parent)
    , appcastURL_(std::move(appcastURL))
    , environment_(std::move(environment))
    , relauncher_(std::make_unique<Relauncher>(environment_.delays, environment_.terminate))
{
}

UpdateCheckService::~UpdateCheckService() = default;

UpdateCheckService& UpdateCheckService::shared() { return Shared<UpdateCheckService>::instance(); }

QString UpdateCheckService::downloadDirectory() { return UpdaterFolders::workFolder() + QStringLiteral("/QuorvelleUpdate"); }

QCoro::Task<> UpdateCheckService::pause()
{
    // A wait cut short changes nothing: the check goes on either way.
    co_await environment_.delays.sleep(kPauseMs, {});
}

QCoro::Task<std::optional<UpdateInfo>> UpdateCheckService::checkForUpdates()
{
    log(QStringLiteral("🔄"), QStringLiteral("Starting update check..."));
    // A service that goes away meanwhile ends the check before it touches the service.
    QPointer<UpdateCheckService> self(this);
    feedReached_ = false;
    co_await pause();
    throwIfGone(self);
    HttpResponse response;
    try {
        QNetworkRequest request(appcastURL_);
        response = co_await Http::shared().send(std::move(request));
    } catch (const std::exception& error) {
        log(QStringLiteral("❌"), QStringLiteral("Update check failed: ") + describeError(error));
        co_return std::nullopt;
    }
    co_await pause();
    throwIfGone(self);
    if (!response.isSuccess()) {
        log(QStringLiteral("⚠️"), QStringLiteral("Invalid response: ") + describe(response));
        co_return std::nullopt;
    }
    feedReached_ = true;
    const QString feed = AppcastReader::decode(response.body);
    co_await pause();
    throwIfGone(self);

    const ApplicationBundle& bundle = environment_.runningBundle;
    const QString current = bundle.shortVersion.value_or(QStringLiteral("0.0.0"));
    log(QStringLiteral("📱"), QStringLiteral("Current app version: ") + current + QStringLiteral(" (build: ")
            + bundle.build.value_or(QStringLiteral("0")) + u')');
    log(QStringLiteral("📱"), QStringLiteral("App bundle path: ") + bundle.path);

    const auto offered = AppcastReader::version(feed);
    if (!offered) {
        log(QStringLiteral("⚠️"), QStringLiteral("Could not extract version from appcast"));
        logNoUpdate();
        co_return std::nullopt;
    }
    log(QStringLiteral("📦"), (offered->fromShortVersionString ? QStringLiteral("Appcast shortVersionString: ")
                                                                : QStringLiteral("Appcast version (fallback): "))
            + offered->text);
    if (offered->text == current) {
        log(QStringLiteral("ℹ️"), QStringLiteral("Versions are equal (") + offered->text + QStringLiteral(" == ") + current
                + QStringLiteral("), no update needed"));
        logNoUpdate();
        co_return std::nullopt;
    }
    const bool newer = isNewerVersion(offered->text, current);
    log(QStringLiteral("🔍"), QStringLiteral("Version comparison: ") + offered->text + QStringLiteral(" > ") + current
            + QStringLiteral(" = ") + (newer ? QStringLiteral("true") : QStringLiteral("false")));
    if (!newer) {
        logNoUpdate();
        co_return std::nullopt;
    }
    // Without an address there is nothing to download (the feed itself is no update).
    const auto address = AppcastReader::downloadURL(feed);
    if (!address) {
        log(QStringLiteral("⚠️"), QStringLiteral("No download address in appcast"));
        logNoUpdate();
        co_return std::nullopt;
    }
    log(QStringLiteral("✅"), QStringLiteral("Update check complete - update available"));
    co_return UpdateInfo{*address};
}

bool UpdateCheckService::isNewerVersion(const QString& candidate, const QString& current)
{
    const QStringList candidatePieces = candidate.split(u'.');
    const QStringList currentPieces = current.split(u'.');
    const qsizetype count = std::max(candidatePieces.size(), currentPieces.size());
    for (qsizetype i = 0; i < count; ++i) {
        const int order = compareNumbers(leadingNumber(candidatePieces.value(i)), leadingNumber(currentPieces.value(i)));
        if (order != 0)
            return order > 0;
    }
    return false;
}

bool UpdateCheckService::isOnFeedHost(const QUrl& address) const
{
    return address.isValid() && address.scheme() == u"https" && address.userInfo().isEmpty()
        && address.host().compare(appcastURL_.host(), Qt::CaseInsensitive) == 0
        && address.port(443) == appcastURL_.port(443);
}

QCoro::Task<QString> UpdateCheckService::downloadUpdate(UpdateInfo updateInfo, DownloadProgress progress)
{
    const QUrl address = updateInfo.downloadURL;
    log(QStringLiteral("📥"), QStringLiteral("Starting update download..."));
    log(QStringLiteral("📥"), QStringLiteral("Download URL: ") + address.toString());
    // The update runs as this user: it comes only over TLS from the host that serves the feed.
    if (!isOnFeedHost(address)) {
        log(QStringLiteral("❌"), QStringLiteral("Refusing to download an update that is not served over https by ")
                + appcastURL_.authority());
        throw UpdateError(QStringLiteral("Invalid download address"));
    }

    log(QStringLiteral("📥"), QStringLiteral("Preparing download directory..."));
    const QString folder = downloadDirectory();
    const QFileInfo existing(folder);
    if (existing.isDir() && !existing.isSymLink()) {
        log(QStringLiteral("✅"), QStringLiteral("Download directory already exists: ") + folder);
    } else {
        if (!UpdaterFolders::remove(folder) || !QDir().mkpath(folder))
            throw FileError(folder, QStringLiteral("cannot be created"));
        log(QStringLiteral("✅"), QStringLiteral("Created download directory: ") + folder);
    }
    const QString extension = extensionOf(address);
    const QString destination = folder + QStringLiteral("/QuorvelleUpdate.") + extension;
    log(QStringLiteral("📥"), QStringLiteral("Destination file: ") + destination);
    log(QStringLiteral("📥"), QStringLiteral("File extension detected: .") + extension);

    // The transfer lands beside the destination and appears only when complete.
    const QString transferred = destination + QStringLiteral(".download");
    QNetworkRequest request(address);
    // A redirect must not lead the download away from the feed's host either.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    HttpProgress fraction = [progress](qint64 done, qint64 total) {
        // An unknown total makes no fraction at all, never an infinite or NaN one.
        if (progress)
            progress(total > 0 ? std::optional(std::clamp(double(done) / double(total), 0.0, 1.0)) : std::nullopt);
    };
    // Installed from at once, and fetched again by the next check if it is lost.
    const HttpResponse response =
        co_await Http::shared().download(request, transferred, DownloadDurability::Cache, std::move(fraction));
    if (!response.isSuccess())
        throw UpdateError(QStringLiteral("Invalid response"));

    log(QStringLiteral("📥"), QStringLiteral("Download completed, moving file to final location..."));
    if (QFileInfo::exists(destination)) {
        log(QStringLiteral("📥"), QStringLiteral("Removing existing file at destination..."));
        QFile::remove(destination);
    }
    log(QStringLiteral("📥"), QStringLiteral("Moving file from ") + transferred + QStringLiteral(" to ") + destination);
    QFile file(transferred);
    if (!file.rename(destination)) {
        const FileError error(transferred, QStringLiteral("cannot be moved to %1 (%2)").arg(destination, file.errorString()));
        log(QStringLiteral("❌"), QStringLiteral("Failed to move downloaded file: ") + error.localizedDescription());
        QFile::remove(transferred);
        throw error;
    }
    log(QStringLiteral("✅"), QStringLiteral("Update downloaded: ") + destination);
    const QFileInfo downloaded(destination);
    if (downloaded.exists())
        log(QStringLiteral("✅"), QStringLiteral("File size: ") + QString::number(downloaded.size()) + QStringLiteral(" bytes"));
    co_return destination;
}

QCoro::Task<> UpdateCheckService::installUpdate(QString file, InstallProgress progress)
{
    log(QStringLiteral("🔧"), QStringLiteral("Starting update installation..."));
    const QString extension = QFileInfo(file).suffix().toLower();
    log(QStringLiteral("🔧"), QStringLiteral("File extension: ") + extension);
    // Each report reaches the handler on a later turn, as its own small task.
    const auto report = [progress](double fraction) {
        if (progress)
            postToMain([progress, fraction] { progress(fraction); });
    };
    report(0.1);

    UpdateInstaller installer(environment_.applicationsFolder, environment_.runningBundle.name, *relauncher_, this, report);
    if (extension == u"dmg") {
        log(QStringLiteral("🔧"), QStringLiteral("Detected DMG file, installing from DMG..."));
        co_await installer.installFromDMG(file);
    } else if (extension == u"zip") {
        log(QStringLiteral("🔧"), QStringLiteral("Detected ZIP file, installing from ZIP..."));
        co_await installer.installFromZIP(file);
    } else if (extension == u"app") {
        log(QStringLiteral("🔧"), QStringLiteral("Detected .app bundle, installing directly..."));
        co_await installer.installAppBundle(file);
    } else {
        // Handing an unknown file to whatever program opens it would run anything a server sent.
        log(QStringLiteral("❌"), QStringLiteral("Unknown file type (") + extension + QStringLiteral("), nothing installed"));
        throw UpdateError(QStringLiteral("Unsupported update file"));
    }
}

QCoro::Task<> UpdateCheckService::discardDownloads()
{
    QFuture<bool> removed = QtConcurrent::run([folder = downloadDirectory()] { return UpdaterFolders::remove(folder); });
    co_await removed;
}
