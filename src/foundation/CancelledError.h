#pragma once

#include "foundation/AppError.h"

#include <QPointer>

// Long work the user stopped. Never a failure to report: whoever catches it says nothing, or
// that the work was stopped.
class CancelledError : public AppError {
public:
    QString localizedDescription() const override { return QStringLiteral("Stopped before it was complete."); }
};

// Work that waited while its owner went away ends here, before it touches the owner.
template <typename T>
void throwIfGone(const QPointer<T>& owner)
{
    if (!owner)
        throw CancelledError();
}
