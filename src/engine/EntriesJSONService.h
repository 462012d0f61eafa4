#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class AerialsFolders;

// Owns every change to the lock-screen extension's manifest: switching the feature on backs the
// manifest up, adds the application's entries to a working copy and puts that in place;
// switching it off puts the stock manifest from the asset host back, or the backup when the
// stock one cannot be had. Every write replaces its file atomically, so a failure at any point
// leaves each file whole, old or new. GUI thread; the stock download is awaited, file work on
// these small files is done in place. Failures are thrown (EntriesJSONError, JsonError,
// FileError) and logged by the caller.
class EntriesJSONService : public QObject {
    Q_OBJECT

public:
    static constexpr int kStockManifestTimeoutMs = 60'000;
    static inline const QString kStockManifestPath = QStringLiteral("/assets/in-app/entries.json");

    // Called after each file step with its name; a test throws from it to stop there.
    using StepHook = std::function<void(const QString& step)>;

    // The shared stand-in folders and the application's Application Support folder.
    explicit EntriesJSONService(QObject* parent = nullptr);
    explicit EntriesJSONService(AerialsFolders& folders, QObject* parent = nullptr);

    static EntriesJSONService& shared();

    // The switch-on step: back up, verify, edit a working copy, install it.
    void backupAndInstallEntries();
    // The switch-off step: the stock manifest, else the backup, replaces the extension's.
    QCoro::Task<> restoreDefaultEntries();
    // Edits the manifest file at `file` in place (atomically).
    void modifyEntriesJSON(const QUrl& file);

    // The application folder, created when missing (a failure shows at the next write).
    QUrl appDirectoryURL() const;
    // The extension's manifest, or nothing when there is no file.
    std::optional<QUrl> systemEntriesURL() const;
    QString backupPath() const;
    QString workingCopyPath() const;

    // "https://" + asset host + the stock manifest's path; the host is the catalogue's asset
    // host, or the backend's own while the catalogue has named none.
    QUrl stockManifestUrl() const;
    // Tests: another address for the stock manifest, a shorter time-out, a hook between steps.
    void setStockManifestUrl(const QUrl& url) { stockUrl_ = url; }
    void setStockManifestTimeout(int milliseconds) { stockTimeoutMs_ = milliseconds; }
    void setStepHook(StepHook hook) { stepHook_ = std::move(hook); }

private:
    // The stock manifest's bytes, checked; throws EntriesJSONError (copyFailed) or JsonError.
    QCoro::Task<QByteArray> fetchStockManifest();
    // The backup's bytes when it holds a usable manifest.
    std::optional<QByteArray> usableBackup() const;
    void replaceSystemManifest(const QByteArray& bytes, const QString& stepName);
    void step(const QString& name) const;

    AerialsFolders& folders_;
    std::optional<QUrl> stockUrl_;
    int stockTimeoutMs_ = kStockManifestTimeoutMs;
    StepHook stepHook_;
};
