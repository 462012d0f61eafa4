#pragma once

#include "pictor/core/Image.h"

#include <cstdint>

namespace pictor {

// What an image weighs in the memory cache: its pixel count times the bytes per pixel of its
// bitmap (4 without one), times its frame count when it carries animation frames. Clamped to the
// 64-bit range (an infinite size weighs the most); NaN or negative sizes weigh nothing.
int64_t cacheCost(const Image& image);

} // namespace pictor
