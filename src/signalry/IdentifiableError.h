#pragma once

#include <QString>

namespace signalry {

// An error with a stable identifier, so reports of it can be grouped whatever its message says.
class IdentifiableError {
public:
    virtual ~IdentifiableError() = default;
    virtual QString id() const = 0;
    virtual QString localizedDescription() const = 0;
};

} // namespace signalry
