#pragma once

#include "foundation/AppError.h"

#include <QCoreApplication>

// A backend call that its caller stopped through its stop token, before or while it was sent.
// Deliberately not an APIError: a stop is the caller's own decision, never a network failure to
// report to the user.
class RequestCancelledError : public AppError {
public:
    QString localizedDescription() const override
    {
        return QCoreApplication::translate("RequestCancelledError", "The request was cancelled.");
    }
};
