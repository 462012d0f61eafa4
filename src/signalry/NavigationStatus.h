#pragma once

#include <QString>

#include <optional>

namespace signalry {

// The destination of the last reported navigation, for the next report's source. Lives for the
// process only.
class NavigationStatus {
public:
    static std::optional<QString> previousNavigationPath();
    static void setPreviousNavigationPath(const QString& path);
    // Forgets the last destination (a fresh process; tests).
    static void reset();
};

} // namespace signalry
