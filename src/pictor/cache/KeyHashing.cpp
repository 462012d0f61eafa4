#include "pictor/cache/KeyHashing.h"

#include "pictor/cache/Sha256.h"

#include <QStringList>

namespace pictor {
namespace pt {

QString sha256(const QString& text)
{
    return QString::fromLatin1(Sha256::digest(text.toUtf8()).toHex());
}

std::optional<QString> fileExtension(const QString& key)
{
    const QStringList parts = key.split(QLatin1Char('@'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    const QString& first = parts.first();
    const qsizetype dot = first.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot + 1 == first.size())
        return std::nullopt;
    return first.mid(dot + 1);
}

} // namespace pt
} // namespace pictor
