#pragma once

#include <functional>

namespace signalry {

// The client's "main queue": work that must run on the GUI thread, in the order it was posted.
// Without an application object there is no such thread, and the work runs at once.
class MainThread {
public:
    static bool isCurrent();
    // Always later, even when called on the GUI thread.
    static void post(std::function<void()> work);
    static void postAfter(int milliseconds, std::function<void()> work);
    // At once when already on the GUI thread, otherwise posted.
    static void run(std::function<void()> work);
};

} // namespace signalry
