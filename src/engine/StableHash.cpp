#include "engine/StableHash.h"

#include <QByteArray>

namespace StableHash {

quint64 of(QStringView text)
{
    constexpr quint64 kOffsetBasis = 0xcbf29ce484222325ULL;
    constexpr quint64 kPrime = 0x100000001b3ULL;
    quint64 hash = kOffsetBasis;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= kPrime;
    }
    return hash;
}

} // namespace StableHash
