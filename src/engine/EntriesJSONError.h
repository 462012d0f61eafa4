#pragma once

#include "foundation/KindError.h"

enum class EntriesJSONErrorKind { originalFileNotFound, backupFileNotFound, copyFailed };

// Why the lock-screen manifest could not be backed up, edited or restored. Each case carries
// the detail appended to its message.
class EntriesJSONError : public KindError<EntriesJSONErrorKind> {
public:
    using KindError::KindError;

    QString localizedDescription() const override;
};
