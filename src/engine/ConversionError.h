#pragma once

#include "foundation/KindError.h"

enum class ConversionErrorKind { exportFailed, noVideoTracks, exportSessionCreationFailed };

// Why a lock-screen movie or thumbnail could not be made or installed. exportFailed carries the
// reason appended to its message.
class ConversionError : public KindError<ConversionErrorKind> {
public:
    using KindError::KindError;

    QString localizedDescription() const override;
};
