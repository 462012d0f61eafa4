#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <mutex>
#include <optional>

namespace samplecatalogue {

// The community uploads the sample backend has seen, per device: the keys it reserved with their
// signed-address tokens, the metadata registered for them, the files received and the review
// status. Thread-safe.
class UploadStore {
public:
    // Lifetime of a signed upload address, in seconds.
    static constexpr qint64 kAddressLifetime = 3600;

    struct Upload {
        qint64 key = 0;
        QString token; // names the signed upload address
        QString deviceUuid;
        bool registered = false;
        QString title;
        qint64 category = 0;
        QString status;
        qint64 fileBytes = -1; // -1 until the file arrived
    };

    enum class Registration { Registered, UnknownKey, OtherDevice, AlreadyRegistered };

    // A new key and token for the device.
    Upload reserve(const QString& deviceUuid);
    Registration registerUpload(const QString& deviceUuid, qint64 key, const QString& title, qint64 category);
    // False when the token does not name that key.
    bool receiveFile(const QString& token, qint64 key, qint64 bytes);
    bool setStatus(qint64 key, const QString& status);

    // The device's registered uploads, in the order their keys were reserved.
    QList<Upload> registered(const QString& deviceUuid) const;
    std::optional<Upload> upload(qint64 key) const;

private:
    mutable std::mutex mutex_;
    QList<qint64> order_;
    QHash<qint64, Upload> uploads_;
    qint64 nextKey_ = 1'900'000'000'000;
};

} // namespace samplecatalogue
