#pragma once

#include "foundation/AppError.h"

// Why a lock-screen movie or thumbnail could not be made or installed. exportFailed carries the
// reason appended to its message.
class ConversionError : public AppError {
public:
    enum class Kind { exportFailed, noVideoTracks, exportSessionCreationFailed };

    explicit ConversionError(Kind kind, QString detail = {}) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }
    QString localizedDescription() const override;

private:
    Kind kind_;
    QString detail_;
};
