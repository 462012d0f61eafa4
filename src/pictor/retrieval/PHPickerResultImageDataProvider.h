#pragma once

#include "pictor/retrieval/ImageDataProvider.h"
#include "pictor/retrieval/PickerResult.h"

namespace pictor {

// The bytes of a picked item in one of its types, read on the shared thread pool. The key is the
// item's asset identifier (a new one on every read when it has none), "_" and the type.
class PHPickerResultImageDataProvider : public ImageDataProvider {
public:
    PHPickerResultImageDataProvider(PickerResult pickerResult, QString contentType)
        : pickerResult_(std::move(pickerResult)), contentType_(std::move(contentType)) {}

    const PickerResult& pickerResult() const { return pickerResult_; }
    const QString& contentType() const { return contentType_; }

    QString cacheKey() const override;
    void data(Handler handler) const override;
    QString description() const override;

private:
    PickerResult pickerResult_;
    QString contentType_;
};

} // namespace pictor
