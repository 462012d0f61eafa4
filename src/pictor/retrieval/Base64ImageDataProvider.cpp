#include "pictor/retrieval/Base64ImageDataProvider.h"

namespace pictor {

void Base64ImageDataProvider::data(Handler handler) const
{
    const QByteArray::FromBase64Result decoded
        = QByteArray::fromBase64Encoding(base64String_.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    // toLatin1 turns characters beyond Latin-1 into '?', which the strict decoder refuses too.
    if (!decoded)
        return handler(DataResult::failure({ImageDataProviderError::Reason::invalidBase64,
                                            QStringLiteral("%1 characters of text").arg(base64String_.size())}));
    handler(DataResult::success(*decoded));
}

QString Base64ImageDataProvider::description() const
{
    return QStringLiteral("Base64ImageDataProvider(%1 characters)").arg(base64String_.size());
}

} // namespace pictor
