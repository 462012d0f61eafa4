#include "pictor/cache/StorageExpiration.h"

#include "pictor/core/Saturating.h"

#include <cmath>

namespace pictor {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

// now + seconds, clamped to the distant past and future (NaN counts as already expired).
QDateTime offsetClamped(const QDateTime& now, double seconds)
{
    const QDateTime future = StorageExpiration::distantFuture();
    const QDateTime past = StorageExpiration::distantPast();
    if (std::isnan(seconds))
        return past;
    const double nowMs = double(now.toMSecsSinceEpoch());
    const double targetMs = nowMs + seconds * 1000.0;
    if (targetMs >= double(future.toMSecsSinceEpoch()))
        return future;
    if (targetMs <= double(past.toMSecsSinceEpoch()))
        return past;
    return QDateTime::fromMSecsSinceEpoch(int64_t(targetMs), Qt::UTC);
}

} // namespace

QDateTime StorageExpiration::distantFuture() { return QDateTime(QDate(4001, 1, 1), QTime(0, 0), Qt::UTC); }
QDateTime StorageExpiration::distantPast() { return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC); }

QDateTime StorageExpiration::estimatedExpiration(const QDateTime& now) const
{
    return std::visit(Overloaded {
                          [&](const Seconds& s) { return offsetClamped(now, s.value); },
                          [&](const Days& d) {
                              const int64_t seconds = saturatingMultiply(d.value, 86400);
                              return offsetClamped(now, double(seconds));
                          },
                          [&](const QDateTime& date) { return date; },
                          [&](const Never&) { return distantFuture(); },
                          [&](const Expired&) { return distantPast(); },
                      },
                      value_);
}

bool StorageExpiration::isExpired(const QDateTime& now) const
{
    return std::visit(Overloaded {
                          [&](const Seconds& s) { return !(s.value > 0); },
                          [&](const Days& d) { return d.value <= 0; },
                          [&](const QDateTime& date) { return !date.isValid() || date <= now; },
                          [&](const Never&) { return false; },
                          [&](const Expired&) { return true; },
                      },
                      value_);
}

} // namespace pictor
