#pragma once

#include <memory>

namespace signalry {

class SignalryManager;

// The process-wide slot holding the installed manager; readers share, writers exclude.
class SignalryManagerStorage {
public:
    static std::shared_ptr<SignalryManager> manager();
    // Returns the manager it replaced, so the caller decides where that one ends.
    static std::shared_ptr<SignalryManager> setManager(std::shared_ptr<SignalryManager> manager);
};

} // namespace signalry
