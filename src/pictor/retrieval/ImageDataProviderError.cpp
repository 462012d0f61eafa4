#include "pictor/retrieval/ImageDataProviderError.h"

namespace pictor {

namespace {

QString nameOf(ImageDataProviderError::Reason reason)
{
    using Reason = ImageDataProviderError::Reason;
    switch (reason) {
    case Reason::fileReadFailed: return QStringLiteral("fileReadFailed");
    case Reason::invalidBase64: return QStringLiteral("invalidBase64");
    case Reason::emptySource: return QStringLiteral("emptySource");
    case Reason::invalidImageSource: return QStringLiteral("invalidImageSource");
    case Reason::invalidThumbnail: return QStringLiteral("invalidThumbnail");
    case Reason::writeDataError: return QStringLiteral("writeDataError");
    case Reason::finalizeDataError: return QStringLiteral("finalizeDataError");
    case Reason::generatorError: return QStringLiteral("generatorError");
    case Reason::invalidImage: return QStringLiteral("invalidImage");
    case Reason::userCancelled: return QStringLiteral("userCancelled");
    case Reason::pickerProviderError: return QStringLiteral("pickerProviderError");
    }
    return QString();
}

} // namespace

ImageDataProviderError::ImageDataProviderError(Reason reason, QString detail)
    : reason_(reason), detail_(std::move(detail)), what_(description().toUtf8())
{
}

QString ImageDataProviderError::description() const
{
    return detail_.isEmpty() ? nameOf(reason_) : nameOf(reason_) + QStringLiteral(": ") + detail_;
}

} // namespace pictor
