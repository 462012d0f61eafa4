#include "pictor/retrieval/PHPickerResultImageDataProvider.h"

#include "pictor/retrieval/LocalImageFile.h"

#include <QThreadPool>
#include <QUuid>

namespace pictor {

QString PHPickerResultImageDataProvider::cacheKey() const
{
    const QString asset = pickerResult_.assetIdentifier.value_or(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    return asset + u'_' + contentType_;
}

void PHPickerResultImageDataProvider::data(Handler handler) const
{
    QThreadPool::globalInstance()->start([item = pickerResult_, type = contentType_, handler = std::move(handler)] {
        using Reason = ImageDataProviderError::Reason;
        if (!item.typeIdentifiers.contains(type))
            return handler(DataResult::failure({Reason::pickerProviderError, QStringLiteral("the item cannot be read as %1").arg(type)}));
        if (!item.fileURL.isLocalFile())
            return handler(DataResult::failure({Reason::pickerProviderError, QStringLiteral("%1: not a local file").arg(item.fileURL.toString())}));
        Result<QByteArray, QString> bytes = LocalImageFile::read(item.fileURL.toLocalFile());
        if (bytes.isFailure())
            return handler(DataResult::failure({Reason::pickerProviderError, bytes.error()}));
        if (bytes.value().isEmpty())
            return handler(DataResult::failure({Reason::invalidImage}));
        handler(DataResult::success(std::move(bytes).value()));
    });
}

QString PHPickerResultImageDataProvider::description() const
{
    return QStringLiteral("PHPickerResultImageDataProvider(%1, %2)").arg(pickerResult_.fileURL.toString(), contentType_);
}

} // namespace pictor
