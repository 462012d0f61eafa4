#pragma once

#include <QFlags>

namespace pictor {

// How a disk-cache file is written.
enum class DataWritingOption {
    // Through a temporary file renamed into place.
    atomic = 0x1,
    // Fails when the file exists.
    withoutOverwriting = 0x2,
};
Q_DECLARE_FLAGS(DataWritingOptions, DataWritingOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(DataWritingOptions)

} // namespace pictor
