#pragma once

#include "signalry/Parameters.h"

namespace signalry {

class SignalryManagerConfiguration;

// Names the ingest service gives a meaning of its own. A signal or parameter that uses one (or
// the "Signalry." prefix) is still sent, but draws an error-level warning, since it will
// behave unexpectedly.
class ReservedNames {
public:
    // Compared in lower case.
    static bool isReservedKey(const QString& key);
    static void warnAboutSignalName(const SignalryManagerConfiguration& configuration, const QString& signalName);
    static void warnAboutParameterKeys(const SignalryManagerConfiguration& configuration, const Parameters& parameters);
};

} // namespace signalry
