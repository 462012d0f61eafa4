#pragma once

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class APIService;
class Clock;
class UserDefaults;

// The signed address a community upload's video goes to, with the wallpaper key the backend
// reserved for it: asked of the backend, kept with its expiry in memory and in the defaults
// store ("signedUploadURL", "signedUploadWallpaperKey", "signedUploadURLExpirationDate",
// written and removed together) and handed out again while more than 30 seconds remain.
// A failed request leaves the cache as it was. GUI thread; one shared instance.
class SignedUploadURLService : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> uploadURL READ uploadURL NOTIFY uploadURLChanged)
    Q_PROPERTY(std::optional<QString> wallpaperKey READ wallpaperKey NOTIFY wallpaperKeyChanged)

public:
    static inline const QString kUploadURLKey = QStringLiteral("signedUploadURL");
    static inline const QString kWallpaperKeyKey = QStringLiteral("signedUploadWallpaperKey");
    static inline const QString kExpirationDateKey = QStringLiteral("signedUploadURLExpirationDate");
    // A cached address is reused only while more than this many seconds remain.
    static constexpr double kReuseMarginSeconds = 30.0;

    struct SignedUpload {
        QString uploadUrl;
        QString wallpaperKey;
    };

    // The standard store, the shared backend client, the system clock and this installation's
    // upload identifier.
    explicit SignedUploadURLService(QObject* parent = nullptr);
    // Adopts a persisted pair whose expiry lies ahead before returning.
    SignedUploadURLService(UserDefaults& defaults, APIService& api, const Clock& clock,
        std::function<QString()> deviceUUID, QObject* parent = nullptr);

    static SignedUploadURLService& shared();

    const std::optional<QString>& uploadURL() const { return uploadURL_; }
    const std::optional<QString>& wallpaperKey() const { return wallpaperKey_; }
    const std::optional<QDateTime>& expirationDate() const { return expirationDate_; }

    // The cached pair while it is good, otherwise a new one from the backend (stored and
    // persisted). Rethrows the backend's failure.
    QCoro::Task<SignedUpload> getSignedUploadURL();
    // Drops the cache and asks the backend for a new pair.
    QCoro::Task<SignedUpload> forceRefresh();
    void clearCache();

Q_SIGNALS:
    void uploadURLChanged();
    void wallpaperKeyChanged();

private:
    void loadFromCache();
    void saveToCache(const QString& uploadURL, const QString& wallpaperKey, const QDateTime& expirationDate);
    void setValues(std::optional<QString> url, std::optional<QString> key, std::optional<QDateTime> expiry);
    // Whole seconds from now to `date`, truncated toward zero.
    qint64 secondsUntil(const QDateTime& date) const;
    void logFailure(const std::exception& error) const;

    UserDefaults& defaults_;
    APIService& api_;
    const Clock& clock_;
    std::function<QString()> deviceUUID_;
    std::optional<QString> uploadURL_;
    std::optional<QString> wallpaperKey_;
    std::optional<QDateTime> expirationDate_;
};
