#pragma once

#include <QDateTime>

#include <functional>

namespace pictor {

// The time the cache storages read; tests pass one they move by hand.
using CacheClock = std::function<QDateTime()>;

inline CacheClock systemCacheClock()
{
    return [] { return QDateTime::currentDateTimeUtc(); };
}

} // namespace pictor
