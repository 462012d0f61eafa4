#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace pictor {

// A product of sizes or costs that stops at the largest value instead of wrapping.
inline int64_t saturatingMultiply(int64_t a, int64_t b)
{
    int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return ((a < 0) != (b < 0)) ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return product;
}

// A finite double turned into an int, clamped to the int range (NaN gives 0).
inline int clampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

} // namespace pictor
