#pragma once

#include "foundation/AppError.h"

// Why the lock-screen extension could not be restarted: a process that could be neither
// terminated nor killed (the detail names it), or no process at all.
class ExtensionRestartError : public AppError {
public:
    enum class Kind { killFailed, processNotFound };

    explicit ExtensionRestartError(Kind kind, QString detail = {}) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }
    QString localizedDescription() const override;

private:
    Kind kind_;
    QString detail_;
};
