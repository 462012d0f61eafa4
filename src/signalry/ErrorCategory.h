#pragma once

#include <QString>

#include <optional>

namespace signalry {

// What kind of error an "Signalry.Error.occurred" signal reports.
enum class ErrorCategory { thrownException, userInput, appState };

// "thrown-exception", "user-input", "app-state".
QString rawValue(ErrorCategory category);
// Nothing for any other text.
std::optional<ErrorCategory> errorCategoryFromRawValue(const QString& rawValue);

} // namespace signalry
