#include "UploadStore.h"

#include <QUuid>

namespace samplecatalogue {

UploadStore::Upload UploadStore::reserve(const QString& deviceUuid)
{
    std::lock_guard lock(mutex_);
    Upload upload;
    upload.key = nextKey_++;
    upload.token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    upload.deviceUuid = deviceUuid;
    order_.append(upload.key);
    uploads_.insert(upload.key, upload);
    return upload;
}

UploadStore::Registration UploadStore::registerUpload(const QString& deviceUuid, qint64 key, const QString& title,
                                                      qint64 category)
{
    std::lock_guard lock(mutex_);
    const auto it = uploads_.find(key);
    if (it == uploads_.end())
        return Registration::UnknownKey;
    if (it->deviceUuid != deviceUuid)
        return Registration::OtherDevice;
    if (it->registered)
        return Registration::AlreadyRegistered;
    it->registered = true;
    it->title = title;
    it->category = category;
    it->status = QStringLiteral("pending upload");
    return Registration::Registered;
}

bool UploadStore::receiveFile(const QString& token, qint64 key, qint64 bytes)
{
    std::lock_guard lock(mutex_);
    const auto it = uploads_.find(key);
    if (it == uploads_.end() || it->token != token)
        return false;
    it->fileBytes = bytes;
    if (it->registered)
        it->status = QStringLiteral("in review");
    return true;
}

bool UploadStore::setStatus(qint64 key, const QString& status)
{
    std::lock_guard lock(mutex_);
    const auto it = uploads_.find(key);
    if (it == uploads_.end())
        return false;
    it->status = status;
    return true;
}

QList<UploadStore::Upload> UploadStore::registered(const QString& deviceUuid) const
{
    std::lock_guard lock(mutex_);
    QList<Upload> found;
    for (const qint64 key : order_) {
        const Upload& upload = uploads_.value(key);
        if (upload.registered && upload.deviceUuid == deviceUuid)
            found.append(upload);
    }
    return found;
}

std::optional<UploadStore::Upload> UploadStore::upload(qint64 key) const
{
    std::lock_guard lock(mutex_);
    const auto it = uploads_.constFind(key);
    if (it == uploads_.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace samplecatalogue
