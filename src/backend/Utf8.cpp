#include "backend/Utf8.h"

#include <QStringDecoder>

namespace Utf8 {

std::optional<QString> decode(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace Utf8
