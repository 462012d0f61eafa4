#pragma once

#include "pictor/retrieval/ImageDataProvider.h"

namespace pictor {

// Bytes written as Base64 text, decoded strictly (a line break or any other character outside
// the alphabet makes the text invalid) before data() returns.
class Base64ImageDataProvider : public ImageDataProvider {
public:
    Base64ImageDataProvider(QString base64String, QString cacheKey)
        : base64String_(std::move(base64String)), cacheKey_(std::move(cacheKey)) {}

    const QString& base64String() const { return base64String_; }
    QString cacheKey() const override { return cacheKey_; }
    void setCacheKey(QString key) { cacheKey_ = std::move(key); }
    void data(Handler handler) const override;
    QString description() const override;

private:
    QString base64String_;
    QString cacheKey_;
};

} // namespace pictor
