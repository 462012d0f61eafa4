#pragma once

#include "signalry/Parameters.h"

#include <optional>

namespace signalry {

// An object that adds payload entries to every signal. Asked off the GUI thread, once per
// signal, in the order the configuration lists the enrichers.
class SignalEnricher {
public:
    virtual ~SignalEnricher() = default;
    virtual Parameters enrich(const QString& signalType, const std::optional<QString>& clientUser,
                              std::optional<double> floatValue) = 0;
};

} // namespace signalry
