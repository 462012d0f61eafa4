#pragma once

#include "foundation/KindError.h"

enum class ExtensionRestartErrorKind { killFailed, processNotFound };

// Why the lock-screen extension could not be restarted: a process that could be neither
// terminated nor killed (the detail names it), or no process at all.
class ExtensionRestartError : public KindError<ExtensionRestartErrorKind> {
public:
    using KindError::KindError;

    QString localizedDescription() const override;
};
