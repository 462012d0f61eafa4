#pragma once

#include "pictor/retrieval/ImageDataProvider.h"

namespace pictor {

// Bytes the caller already holds, handed over before data() returns.
class RawImageDataProvider : public ImageDataProvider {
public:
    RawImageDataProvider(QByteArray data, QString cacheKey) : data_(std::move(data)), cacheKey_(std::move(cacheKey)) {}

    const QByteArray& rawData() const { return data_; }
    QString cacheKey() const override { return cacheKey_; }
    void setCacheKey(QString key) { cacheKey_ = std::move(key); }
    void data(Handler handler) const override { handler(DataResult::success(data_)); }
    QString description() const override { return QStringLiteral("RawImageDataProvider(%1 bytes)").arg(data_.size()); }

private:
    QByteArray data_;
    QString cacheKey_;
};

} // namespace pictor
