#pragma once

#include <utility>

// Stores `value` in `field` and tells whether it differed, so a setter emits its change signal
// only on a real change: `if (assignChanged(flag_, flag)) Q_EMIT flagChanged();`
template <typename T, typename U>
bool assignChanged(T& field, U&& value)
{
    if (field == value)
        return false;
    field = std::forward<U>(value);
    return true;
}
