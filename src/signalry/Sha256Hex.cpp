#include "signalry/Sha256Hex.h"

#include <QCryptographicHash>

namespace signalry {

QString sha256Hex(const QString& text, const QString& salt)
{
    const QByteArray digest = QCryptographicHash::hash((text + salt).toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex());
}

} // namespace signalry
