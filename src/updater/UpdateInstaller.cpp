#include "updater/UpdateInstaller.h"

#include "foundation/CancelledError.h"
#include "foundation/Log.h"
#include "platform/DiskImageTool.h"
#include "platform/FileError.h"
#include "platform/ProcessRunner.h"
#include "updater/BundleReplacer.h"
#include "updater/Relauncher.h"
#include "updater/UpdateError.h"
#include "updater/UpdaterFolders.h"

#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

namespace {
constexpr int kUnzipTimeoutMs = 5 * 60'000;

void log(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("UpdateCheckService"), message); }

// A name from a package, fit for one log line.
QString printable(QString text)
{
    static const QRegularExpression controls(QStringLiteral(R"([\x00-\x1f\x7f])"));
    return text.replace(controls, QStringLiteral("?"));
}

// A tool that could not start is the platform's failure, thrown as it is.
const ProcessResult& started(const ProcessResult& result)
{
    if (result.failedToStart)
        throw MessageError(result.errorMessage);
    return result;
}

// The first entry of `folder` (in name order) that is named like a bundle; the case counts.
std::optional<QFileInfo> firstBundleIn(const QString& folder, QDir::Filters filters)
{
    const QDir dir(folder);
    if (!dir.isReadable())
        throw FileError(folder, QStringLiteral("cannot be listed"));
    for (const QFileInfo& entry : dir.entryInfoList(filters | QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        if (entry.suffix() == u"app")
            return entry;
    }
    return std::nullopt;
}

QCoro::Task<> removeFolder(QString folder)
{
    QFuture<bool> removed = QtConcurrent::run([folder] { return UpdaterFolders::remove(folder); });
    co_await removed;
}
} // namespace

UpdateInstaller::UpdateInstaller(QString applicationsFolder, QString bundleName, Relauncher& relauncher,
    const QObject* context, Report report)
    : applicationsFolder_(std::move(applicationsFolder))
    , bundleName_(std::move(bundleName))
    , relauncher_(relauncher)
    , context_(context)
    , report_(std::move(report))
{
}

QString UpdateInstaller::extractionDirectory() { return UpdaterFolders::workFolder() + QStringLiteral("/QuorvelleUpdateExtract"); }

QString UpdateInstaller::destinationFor(const QString& bundleName) const
{
    // Only our own application is replaced: a package that carries another bundle (or a name
    // made to look like a path or a command) is refused.
    if (bundleName != bundleName_) {
        log(QStringLiteral("❌"), QStringLiteral("Refusing to install ") + printable(bundleName)
                + QStringLiteral(": the application's bundle is ") + bundleName_);
        throw UpdateError(QStringLiteral("Unexpected app bundle"));
    }
    const QString destination = QDir::cleanPath(applicationsFolder_ + u'/' + bundleName);
    if (!Relauncher::isSafePath(destination)) {
        log(QStringLiteral("❌"), QStringLiteral("Refusing to install into ") + printable(destination));
        throw UpdateError(QStringLiteral("Invalid Applications folder"));
    }
    return destination;
}

QCoro::Task<> UpdateInstaller::copyInto(QString source, QString destination, std::optional<double> reportFirst)
{
    log(QStringLiteral("📦"), QStringLiteral("Destination: ") + destination);
    if (QFileInfo::exists(destination))
        log(QStringLiteral("📦"), QStringLiteral("Removing existing app at destination..."));
    if (reportFirst)
        report_(*reportFirst);
    log(QStringLiteral("📦"), QStringLiteral("Copying app bundle from ") + source + QStringLiteral(" to ") + destination);
    // The installed bundle is only replaced once the copy is complete.
    co_await BundleReplacer::copy(source, destination);
    log(QStringLiteral("✅"), QStringLiteral("Copied app to Applications: ") + destination);
}

void UpdateInstaller::relaunch(const QString& destination)
{
    throwIfGone(context_);
    log(QStringLiteral("✅"), QStringLiteral("Update installed successfully"));
    relauncher_.relaunch(destination, context_);
}

QCoro::Task<> UpdateInstaller::installFromDMG(QString image)
{
    log(QStringLiteral("📦"), QStringLiteral("Installing from DMG: ") + image);
    report_(0.2);
    log(QStringLiteral("📦"), QStringLiteral("Step 1/6: Mounting DMG..."));
    const ProcessResult attached = started(co_await DiskImageTool::attach(image, UpdaterFolders::workFolder()));
    if (!attached.succeeded()) {
        log(QStringLiteral("❌"), QStringLiteral("Failed to mount DMG, exit code: ") + QString::number(attached.exitCode));
        throw UpdateError(QStringLiteral("Failed to mount DMG"));
    }
    log(QStringLiteral("✅"), QStringLiteral("DMG mounted successfully"));
    report_(0.4);

    // The volume this attach made, as the tool reported it.
    log(QStringLiteral("📦"), QStringLiteral("Step 2/6: Finding mounted volume..."));
    const auto mountPoint = DiskImageTool::mountPointFrom(attached.standardOutput);
    if (!mountPoint) {
        log(QStringLiteral("❌"), QStringLiteral("Failed to find mounted volume in DMG info"));
        throw UpdateError(QStringLiteral("Failed to find mounted volume"));
    }
    log(QStringLiteral("✅"), QStringLiteral("Found mount point: ") + *mountPoint);
    report_(0.5);

    std::exception_ptr failure;
    QString destination;
    try {
        destination = co_await copyFromVolume(*mountPoint);
    } catch (...) {
        failure = std::current_exception();
    }
    // The volume goes on every path; a failed detach changes nothing for the update.
    if (failure) {
        co_await DiskImageTool::detach(*mountPoint);
        std::rethrow_exception(failure);
    }
    log(QStringLiteral("📦"), QStringLiteral("Step 5/6: Unmounting DMG..."));
    co_await DiskImageTool::detach(*mountPoint);
    log(QStringLiteral("✅"), QStringLiteral("DMG unmounted successfully"));
    report_(0.9);
    log(QStringLiteral("📦"), QStringLiteral("Step 6/6: Preparing to relaunch..."));
    report_(1.0);
    relaunch(destination);
}

QCoro::Task<QString> UpdateInstaller::copyFromVolume(QString mountPoint)
{
    log(QStringLiteral("📦"), QStringLiteral("Step 3/6: Searching for .app bundle in mounted volume..."));
    const auto bundle = firstBundleIn(mountPoint, QDir::Hidden | QDir::System);
    if (!bundle) {
        log(QStringLiteral("❌"), QStringLiteral("No .app bundle found in DMG contents"));
        throw UpdateError(QStringLiteral("No .app bundle found in DMG"));
    }
    log(QStringLiteral("✅"), QStringLiteral("Found .app bundle: ") + printable(bundle->fileName()));
    report_(0.6);
    log(QStringLiteral("📦"), QStringLiteral("Step 4/6: Copying app to Applications folder..."));
    const QString destination = destinationFor(bundle->fileName());
    co_await copyInto(bundle->filePath(), destination, 0.7);
    report_(0.8);
    co_return destination;
}

QCoro::Task<> UpdateInstaller::installFromZIP(QString archive)
{
    log(QStringLiteral("📦"), QStringLiteral("Installing from ZIP: ") + archive);
    report_(0.2);
    log(QStringLiteral("📦"), QStringLiteral("Step 1/5: Preparing extraction directory..."));
    const QString folder = extractionDirectory();
    co_await removeFolder(folder);
    if (!QDir().mkpath(folder))
        throw FileError(folder, QStringLiteral("cannot be created"));
    log(QStringLiteral("✅"), QStringLiteral("Created temp directory: ") + folder);
    report_(0.4);

    std::exception_ptr failure;
    QString destination;
    try {
        destination = co_await copyFromExtraction(archive, folder);
    } catch (...) {
        failure = std::current_exception();
    }
    // The extracted files are only a way station.
    co_await removeFolder(folder);
    if (failure)
        std::rethrow_exception(failure);
    log(QStringLiteral("📦"), QStringLiteral("Step 5/5: Preparing to relaunch..."));
    report_(1.0);
    relaunch(destination);
}

QCoro::Task<QString> UpdateInstaller::copyFromExtraction(QString archive, QString folder)
{
    log(QStringLiteral("📦"), QStringLiteral("Step 2/5: Extracting ZIP file..."));
    const QStringList arguments{QStringLiteral("-q"), archive, QStringLiteral("-d"), folder};
    const ProcessResult extracted = started(co_await ProcessRunner::shared().run(QStringLiteral("unzip"), arguments, kUnzipTimeoutMs));
    if (!extracted.succeeded()) {
        log(QStringLiteral("❌"), QStringLiteral("Failed to extract ZIP, exit code: ") + QString::number(extracted.exitCode));
        throw UpdateError(QStringLiteral("Failed to extract ZIP"));
    }
    log(QStringLiteral("✅"), QStringLiteral("ZIP extracted successfully"));
    report_(0.6);
    log(QStringLiteral("📦"), QStringLiteral("Step 3/5: Finding .app bundle..."));
    const auto bundle = firstBundleIn(folder, QDir::Filters());
    if (!bundle) {
        log(QStringLiteral("❌"), QStringLiteral("No .app bundle found in ZIP contents"));
        throw UpdateError(QStringLiteral("No .app bundle found in ZIP"));
    }
    log(QStringLiteral("✅"), QStringLiteral("Found .app bundle: ") + printable(bundle->fileName()));
    report_(0.7);
    log(QStringLiteral("📦"), QStringLiteral("Step 4/5: Copying app to Applications folder..."));
    const QString destination = destinationFor(bundle->fileName());
    co_await copyInto(bundle->filePath(), destination, std::nullopt);
    report_(0.9);
    co_return destination;
}

QCoro::Task<> UpdateInstaller::installAppBundle(QString bundle)
{
    log(QStringLiteral("📦"), QStringLiteral("Installing app bundle: ") + bundle);
    report_(0.3);
    log(QStringLiteral("📦"), QStringLiteral("Step 1/4: Preparing Applications folder..."));
    // The downloaded file's own name is the updater's ("QuorvelleUpdate.app"): a bundle sent as
    // one file always takes the application's bundle name.
    const QString destination = destinationFor(bundleName_);
    log(QStringLiteral("📦"), QStringLiteral("Destination: ") + destination);
    report_(0.5);
    if (QFileInfo::exists(destination))
        log(QStringLiteral("📦"), QStringLiteral("Step 2/4: Removing existing app at destination..."));
    else
        log(QStringLiteral("📦"), QStringLiteral("Step 2/4: No existing app found, proceeding with copy..."));
    report_(0.7);
    log(QStringLiteral("📦"), QStringLiteral("Step 3/4: Copying app bundle from ") + bundle + QStringLiteral(" to ") + destination);
    co_await BundleReplacer::unpack(bundle, destination);
    log(QStringLiteral("✅"), QStringLiteral("Copied app to Applications: ") + destination);
    report_(0.9);
    log(QStringLiteral("📦"), QStringLiteral("Step 4/4: Preparing to relaunch..."));
    report_(1.0);
    relaunch(destination);
}
