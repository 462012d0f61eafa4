#pragma once

#include "foundation/AppError.h"

// Long work the user stopped. Never a failure to report: whoever catches it says nothing, or
// that the work was stopped.
class CancelledError : public AppError {
public:
    QString localizedDescription() const override { return QStringLiteral("Stopped before it was complete."); }
};
