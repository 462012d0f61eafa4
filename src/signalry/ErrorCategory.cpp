#include "signalry/ErrorCategory.h"

namespace signalry {

QString rawValue(ErrorCategory category)
{
    switch (category) {
    case ErrorCategory::thrownException:
        return QStringLiteral("thrown-exception");
    case ErrorCategory::userInput:
        return QStringLiteral("user-input");
    case ErrorCategory::appState:
        break;
    }
    return QStringLiteral("app-state");
}

std::optional<ErrorCategory> errorCategoryFromRawValue(const QString& rawValue)
{
    for (ErrorCategory category : {ErrorCategory::thrownException, ErrorCategory::userInput, ErrorCategory::appState}) {
        if (signalry::rawValue(category) == rawValue)
            return category;
    }
    return std::nullopt;
}

} // namespace signalry
