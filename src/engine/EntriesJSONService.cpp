#include "engine/EntriesJSONService.h"

#include "engine/AerialsFolders.h"
#include "engine/AerialsManifestEdit.h"
#include "engine/EntriesJSONError.h"
#include "engine/StagedFile.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/Http.h"
#include "platform/HttpError.h"
#include "state/AppStore.h"
#include "state/AssetHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <exception>
#include <stop_token>

namespace {
using Kind = EntriesJSONError::Kind;

const QString kType = QStringLiteral("EntriesJSONService");

void log(const QString& message) { logLine(QStringLiteral("✅"), kType, message); }

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(path, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    return file.readAll();
}
} // namespace

EntriesJSONService::EntriesJSONService(QObject* parent) : EntriesJSONService(AerialsFolders::shared(), parent) {}

EntriesJSONService::EntriesJSONService(AerialsFolders& folders, QObject* parent) : QObject(parent), folders_(folders) {}

EntriesJSONService& EntriesJSONService::shared() { return Shared<EntriesJSONService>::instance(); }

QUrl EntriesJSONService::appDirectoryURL() const
{
    const QString folder = Paths::appSupport();
    QDir().mkpath(folder);
    return QUrl::fromLocalFile(folder);
}

std::optional<QUrl> EntriesJSONService::systemEntriesURL() const
{
    const QString path = folders_.manifestPath();
    return QFileInfo(path).isFile() ? std::optional(QUrl::fromLocalFile(path)) : std::nullopt;
}

QString EntriesJSONService::backupPath() const
{
    return appDirectoryURL().toLocalFile() + QStringLiteral("/entries.json.backup");
}

QString EntriesJSONService::workingCopyPath() const { return appDirectoryURL().toLocalFile() + QStringLiteral("/entries.json"); }

QUrl EntriesJSONService::stockManifestUrl() const
{
    if (stockUrl_)
        return *stockUrl_;
    const QString host = AppStore::shared().baseUrl().value_or(AssetHost::fallback());
    return QUrl(QStringLiteral("https://") + host + kStockManifestPath, QUrl::StrictMode);
}

void EntriesJSONService::step(const QString& name) const
{
    if (stepHook_)
        stepHook_(name);
}

void EntriesJSONService::backupAndInstallEntries()
{
    folders_.seedIfNew();
    if (!systemEntriesURL())
        throw EntriesJSONError(Kind::originalFileNotFound, QStringLiteral("entries.json not found in system path"));
    const QString system = folders_.manifestPath();

    const QString backup = backupPath();
    StagedFile backupFile(backup);
    backupFile.copyFrom(system);
    step(QStringLiteral("backup staged"));
    backupFile.commit();
    step(QStringLiteral("backup"));
    log(QStringLiteral("Backed up entries.json from ") + system + QStringLiteral(" to ") + backup);

    if (!QFileInfo::exists(backup))
        throw EntriesJSONError(Kind::backupFileNotFound, QStringLiteral("Backup verification failed: file not found after copy"));
    const qint64 size = QFileInfo(system).size();
    if (size != QFileInfo(backup).size())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("Backup verification failed: file size mismatch"));
    log(QStringLiteral("Backup verified successfully (size: %1 bytes)").arg(size));

    const QString working = workingCopyPath();
    StagedFile workingFile(working);
    workingFile.copyFrom(backup);
    step(QStringLiteral("working copy staged"));
    workingFile.commit();
    step(QStringLiteral("working copy"));
    log(QStringLiteral("Created copy in app directory: ") + working);

    modifyEntriesJSON(QUrl::fromLocalFile(working));

    StagedFile systemFile(system);
    systemFile.copyFrom(working);
    step(QStringLiteral("manifest staged"));
    systemFile.commit();
    step(QStringLiteral("manifest installed"));
    log(QStringLiteral("Copied modified entries.json to system location: ") + system);
}

void EntriesJSONService::modifyEntriesJSON(const QUrl& file)
{
    const QString path = file.toLocalFile();
    // Everything is decided in memory: a manifest the edit refuses is left as it was.
    const QByteArray edited = AerialsManifestEdit::apply(readFile(path));
    StagedFile staged(path);
    staged.write(edited);
    step(QStringLiteral("edit staged"));
    staged.commit();
    step(QStringLiteral("edited"));
    log(QStringLiteral("Modified entries.json with new category and asset entry"));
}

QCoro::Task<> EntriesJSONService::restoreDefaultEntries()
{
    folders_.seedIfNew();
    QByteArray stock;
    std::exception_ptr unavailable;
    QString reason;
    try {
        stock = co_await fetchStockManifest();
    } catch (const std::exception& error) {
        unavailable = std::current_exception();
        reason = describeError(error);
    }
    if (!unavailable) {
        replaceSystemManifest(stock, QStringLiteral("stock"));
        log(QStringLiteral("Restored entries.json from remote to ") + folders_.manifestPath());
        co_return;
    }

    // Without the stock manifest, the one that was in place before the latest install is the
    // best there is; without that too, the manifest stays as it is.
    const std::optional<QByteArray> backup = usableBackup();
    if (!backup)
        std::rethrow_exception(unavailable);
    replaceSystemManifest(*backup, QStringLiteral("backup"));
    logLine(QStringLiteral("⚠️"), kType,
        QStringLiteral("Stock entries.json unavailable (") + reason + QStringLiteral("), restored ") + backupPath()
            + QStringLiteral(" to ") + folders_.manifestPath());
}

QCoro::Task<QByteArray> EntriesJSONService::fetchStockManifest()
{
    const QUrl url = stockManifestUrl();
    if (!url.isValid() || url.host().isEmpty())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("Invalid entries.json URL"));

    // The time-out bounds the whole exchange, not only silences: a reply that trickles in for
    // minutes keeps the switch waiting just as much as one that never comes.
    std::stop_source stop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &deadline, [&stop] { stop.request_stop(); });
    deadline.start(stockTimeoutMs_);

    HttpResponse response;
    QString failure;
    try {
        response = co_await Http::shared().send(QNetworkRequest(url), "GET", QByteArray(), stop.get_token(), stockTimeoutMs_);
    } catch (const HttpError& error) {
        const bool timedOut = stop.stop_requested() || error.kind() == HttpError::Kind::TimedOut;
        failure = timedOut ? QStringLiteral("no reply within %1 s").arg(stockTimeoutMs_ / 1000.0) : error.localizedDescription();
    }
    if (!failure.isNull())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("Failed to fetch entries.json: ") + failure);
    if (!response.isSuccess())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("Failed to fetch entries.json: HTTP status %1").arg(response.status));
    if (response.body.isEmpty())
        throw EntriesJSONError(Kind::copyFailed, QStringLiteral("No data received from entries.json URL"));
    AerialsManifestEdit::checkShape(response.body);
    co_return response.body;
}

std::optional<QByteArray> EntriesJSONService::usableBackup() const
{
    try {
        QByteArray bytes = readFile(backupPath());
        AerialsManifestEdit::checkShape(bytes);
        return bytes;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void EntriesJSONService::replaceSystemManifest(const QByteArray& bytes, const QString& stepName)
{
    const QString target = folders_.manifestPath();
    const QString folder = QFileInfo(target).path();
    if (!QDir().mkpath(folder))
        throw FileError(folder, QStringLiteral("cannot be created"));
    StagedFile file(target);
    file.write(bytes);
    step(stepName + QStringLiteral(" staged"));
    file.commit();
    step(stepName + QStringLiteral(" restored"));
}
