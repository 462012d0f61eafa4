#pragma once

#include <memory>

namespace pictor {

// The owner that the setters' success, failure and progress blocks are registered for: one shared
// instance, made on first use and kept for the life of the process, so registered blocks always run.
class PTDelegateObserver {
public:
    static const std::shared_ptr<PTDelegateObserver>& shared();
};

} // namespace pictor
