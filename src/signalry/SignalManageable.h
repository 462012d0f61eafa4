#pragma once

#include "signalry/Parameters.h"

#include <memory>
#include <optional>

namespace signalry {

class SignalryManagerConfiguration;

// What the manager needs of its signal manager: queue a signal, send a batch, save at the end.
class SignalManageable {
public:
    virtual ~SignalManageable() = default;
    // Called on the GUI thread; returns at once.
    virtual void enqueueSignal(const QString& signalType, const Parameters& parameters, std::optional<double> floatValue,
                               const std::optional<QString>& customUserID,
                               const std::shared_ptr<SignalryManagerConfiguration>& configuration) = 0;
    virtual void sendNextBatch() = 0;
    virtual void appWillTerminate() = 0;
    // The user identifier of signals that name none.
    virtual QString defaultUserIdentifier() const = 0;
};

} // namespace signalry
