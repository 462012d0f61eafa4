#include "state/SeededRandomGenerator.h"

namespace {
constexpr quint64 kMultiplier = 1103515245;
constexpr quint64 kIncrement = 12345;
} // namespace

quint64 SeededRandomGenerator::next()
{
    // Unsigned arithmetic wraps modulo 2^64 by definition.
    state_ = state_ * kMultiplier + kIncrement;
    return state_;
}

quint64 SeededRandomGenerator::next(quint64 upperBound)
{
    // (2^64 - m) mod m: products whose low half falls below it would favour some values.
    const quint64 threshold = (0 - upperBound) % upperBound;
    for (;;) {
        const unsigned __int128 product = static_cast<unsigned __int128>(next()) * upperBound;
        if (static_cast<quint64>(product) >= threshold)
            return static_cast<quint64>(product >> 64);
    }
}
