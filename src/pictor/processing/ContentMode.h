#pragma once

namespace pictor {

// How a size is fitted to a target: exactly, the largest of the same aspect ratio inside it, or the
// smallest of the same aspect ratio covering it.
enum class ContentMode { none, aspectFit, aspectFill };

} // namespace pictor
