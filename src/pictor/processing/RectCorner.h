#pragma once

namespace pictor {

// A set of rectangle corners, as seen on screen.
namespace RectCorner {
enum : int { topLeft = 1, topRight = 2, bottomLeft = 4, bottomRight = 8, all = 15 };
}
using RectCorners = int;

} // namespace pictor
