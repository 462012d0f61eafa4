#pragma once

#include "foundation/AppError.h"

// Why the lock-screen manifest could not be backed up, edited or restored. Each case carries
// the detail appended to its message.
class EntriesJSONError : public AppError {
public:
    enum class Kind { originalFileNotFound, backupFileNotFound, copyFailed };

    EntriesJSONError(Kind kind, QString detail) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }
    QString localizedDescription() const override;

private:
    Kind kind_;
    QString detail_;
};
