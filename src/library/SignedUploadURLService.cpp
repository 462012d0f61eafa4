#include "library/SignedUploadURLService.h"

#include "backend/APIError.h"
#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/UploadDeviceIdentifier.h"

#include <QPointer>

#include <typeinfo>

namespace {
const QString kType = QStringLiteral("SignedUploadURLService");

void log(const QString& emoji, const QString& message) { logLine(emoji, kType, message); }

// "2026-12-07 15:04:05 +0000", as the system describes a date.
QString describeDate(const QDateTime& date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

QString caseName(const APIError& error)
{
    switch (error.kind()) {
    case APIError::Kind::HttpError: return QStringLiteral("httpError(statusCode: %1)").arg(error.statusCode());
    case APIError::Kind::NetworkError: return QStringLiteral("networkError");
    case APIError::Kind::DecodingError: return QStringLiteral("decodingError");
    case APIError::Kind::InvalidURL: return QStringLiteral("invalidURL");
    case APIError::Kind::InvalidResponse: return QStringLiteral("invalidResponse");
    case APIError::Kind::InvalidResponseFormat: return QStringLiteral("invalidResponseFormat");
    }
    return {};
}

QString underlyingDescription(const APIError& error)
{
    try {
        if (error.underlying())
            std::rethrow_exception(error.underlying());
    } catch (const std::exception& inner) {
        return describeError(inner);
    }
    return {};
}
} // namespace

SignedUploadURLService::SignedUploadURLService(QObject* parent)
    : SignedUploadURLService(UserDefaults::standard(), APIService::shared(), Clock::system(),
          [] { return UploadDeviceIdentifier::value(); }, parent)
{
}

SignedUploadURLService::SignedUploadURLService(UserDefaults& defaults, APIService& api, const Clock& clock,
    std::function<QString()> deviceUUID, QObject* parent)
    : QObject(parent), defaults_(defaults), api_(api), clock_(clock), deviceUUID_(std::move(deviceUUID))
{
    log(QStringLiteral("🔐"), QStringLiteral("Initialized"));
    loadFromCache();
}

SignedUploadURLService& SignedUploadURLService::shared() { return Shared<SignedUploadURLService>::instance(); }

qint64 SignedUploadURLService::secondsUntil(const QDateTime& date) const
{
    return clock_.now().msecsTo(date) / 1000;
}

void SignedUploadURLService::setValues(std::optional<QString> url, std::optional<QString> key, std::optional<QDateTime> expiry)
{
    const bool urlChanged = url != uploadURL_;
    const bool keyChanged = key != wallpaperKey_;
    uploadURL_ = std::move(url);
    wallpaperKey_ = std::move(key);
    expirationDate_ = std::move(expiry);
    if (urlChanged)
        Q_EMIT uploadURLChanged();
    if (keyChanged)
        Q_EMIT wallpaperKeyChanged();
}

void SignedUploadURLService::loadFromCache()
{
    const std::optional<QDateTime> expiry = defaults_.date(kExpirationDateKey);
    if (!defaults_.contains(kUploadURLKey) || !defaults_.contains(kWallpaperKeyKey) || !expiry) {
        log(QStringLiteral("📁"), QStringLiteral("No cached upload URL found"));
        return;
    }
    if (*expiry <= clock_.now()) {
        log(QStringLiteral("⏰"), QStringLiteral("Cached upload URL has expired, will refetch on next request"));
        clearCache();
        return;
    }
    setValues(defaults_.string(kUploadURLKey), defaults_.string(kWallpaperKeyKey), expiry);
    log(QStringLiteral("✅"), QStringLiteral("Loaded cached upload URL - wallpaper_key: %1, expires in %2s")
                                 .arg(*wallpaperKey_).arg(secondsUntil(*expiry)));
}

void SignedUploadURLService::saveToCache(const QString& uploadURL, const QString& wallpaperKey, const QDateTime& expirationDate)
{
    defaults_.setString(kUploadURLKey, uploadURL);
    defaults_.setString(kWallpaperKeyKey, wallpaperKey);
    defaults_.setDate(kExpirationDateKey, expirationDate);
    log(QStringLiteral("💾"), QStringLiteral("Saved upload URL to cache - wallpaper_key: %1, expires at: %2")
                                 .arg(wallpaperKey, describeDate(expirationDate)));
}

void SignedUploadURLService::clearCache()
{
    defaults_.remove(kUploadURLKey);
    defaults_.remove(kWallpaperKeyKey);
    defaults_.remove(kExpirationDateKey);
    setValues(std::nullopt, std::nullopt, std::nullopt);
    log(QStringLiteral("🗑️"), QStringLiteral("Cleared cached upload URL"));
}

QCoro::Task<SignedUploadURLService::SignedUpload> SignedUploadURLService::getSignedUploadURL()
{
    const auto msLeft = [this] { return expirationDate_ ? clock_.now().msecsTo(*expirationDate_) : 0; };
    if (uploadURL_ && wallpaperKey_ && expirationDate_ && msLeft() > kReuseMarginSeconds * 1000) {
        log(QStringLiteral("✅"), QStringLiteral("Using cached upload URL - wallpaper_key: %1, expires in %2s")
                                     .arg(*wallpaperKey_).arg(secondsUntil(*expirationDate_)));
        co_return SignedUpload{*uploadURL_, *wallpaperKey_};
    }
    const QString fetching = QStringLiteral("🔄");
    log(fetching, QStringLiteral("===== Fetching new signed upload URL ====="));
    log(fetching, QStringLiteral("Current cached URL exists: ") + QLatin1String(uploadURL_ ? "true" : "false"));
    log(fetching, QStringLiteral("Current cached wallpaper key: ") + wallpaperKey_.value_or(QStringLiteral("none")));
    log(fetching, QStringLiteral("Expiration date: ")
            + (expirationDate_ ? describeDate(*expirationDate_) : QStringLiteral("none")));
    log(fetching, QStringLiteral("Is expired or expiring soon: ")
            + QLatin1String(!expirationDate_ || msLeft() <= kReuseMarginSeconds * 1000 ? "true" : "false"));
    const QString device = deviceUUID_();
    log(fetching, QStringLiteral("Device UUID: ") + device);
    log(fetching, QStringLiteral("Calling apiService.requestUploadURL(deviceUUID:)..."));
    QPointer<SignedUploadURLService> self(this);
    UploadURLResponse response;
    try {
        response = co_await api_.requestUploadURL(device);
    } catch (const std::exception& error) {
        logFailure(error);
        throw;
    }
    if (!self)
        co_return SignedUpload{response.uploadUrl, response.wallpaperKey};
    log(fetching, QStringLiteral("API call completed successfully"));
    const QDateTime expiry = clock_.now().addSecs(response.expiresIn);
    setValues(response.uploadUrl, response.wallpaperKey, expiry);
    log(QStringLiteral("✅"), QStringLiteral("Updated stored values on main thread"));
    saveToCache(response.uploadUrl, response.wallpaperKey, expiry);
    log(QStringLiteral("✅"), QStringLiteral("Successfully fetched new upload URL - wallpaper_key: %1, expires in %2s")
                                 .arg(response.wallpaperKey).arg(response.expiresIn));
    co_return SignedUpload{response.uploadUrl, response.wallpaperKey};
}

QCoro::Task<SignedUploadURLService::SignedUpload> SignedUploadURLService::forceRefresh()
{
    log(QStringLiteral("🔄"), QStringLiteral("Force refreshing signed upload URL..."));
    clearCache();
    co_return co_await getSignedUploadURL();
}

void SignedUploadURLService::logFailure(const std::exception& error) const
{
    const QString failed = QStringLiteral("❌");
    log(failed, QStringLiteral("===== Failed to fetch signed upload URL ====="));
    const auto* api = dynamic_cast<const APIError*>(&error);
    if (!api) {
        log(failed, QStringLiteral("Unexpected error type: ") + QString::fromLatin1(typeid(error).name()));
        log(failed, QStringLiteral("Error description: ") + describeError(error));
        return;
    }
    log(failed, QStringLiteral("API Error type: ") + caseName(*api));
    log(failed, QStringLiteral("Error description: ") + api->localizedDescription());
    switch (api->kind()) {
    case APIError::Kind::HttpError: log(failed, QStringLiteral("HTTP status code: %1").arg(api->statusCode())); break;
    case APIError::Kind::DecodingError: log(failed, QStringLiteral("Decoding error details: ") + underlyingDescription(*api)); break;
    case APIError::Kind::NetworkError: log(failed, QStringLiteral("Network error details: ") + underlyingDescription(*api)); break;
    default: log(failed, QStringLiteral("Other API error")); break;
    }
}
