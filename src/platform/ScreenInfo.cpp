#include "platform/ScreenInfo.h"

#include <initializer_list>

quint32 ScreenInfo::stableDisplayId(QStringView connector, QStringView manufacturer, QStringView model, QStringView serial)
{
    if (connector.isEmpty() && manufacturer.isEmpty() && model.isEmpty() && serial.isEmpty())
        return 0;
    constexpr quint32 kOffsetBasis = 2166136261u;
    constexpr quint32 kPrime = 16777619u;
    quint32 hash = kOffsetBasis;
    for (QStringView part : {connector, manufacturer, model, serial}) {
        for (const char byte : part.toUtf8())
            hash = (hash ^ static_cast<unsigned char>(byte)) * kPrime;
        // A separator, so ("ab", "c") and ("a", "bc") differ.
        hash = (hash ^ 0u) * kPrime;
    }
    // 0 stays the id of a display without identity.
    return hash != 0 ? hash : 1;
}
