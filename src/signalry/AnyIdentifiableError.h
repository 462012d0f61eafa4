#pragma once

#include "signalry/IdentifiableError.h"

#include <exception>

namespace signalry {

// Gives any error an identifier; its description is the wrapped error's.
class AnyIdentifiableError : public IdentifiableError {
public:
    AnyIdentifiableError(QString id, QString errorDescription);
    AnyIdentifiableError(QString id, const std::exception& error);

    QString id() const override { return id_; }
    QString localizedDescription() const override { return errorDescription_; }
    QString errorDescription() const { return errorDescription_; }

private:
    QString id_;
    QString errorDescription_;
};

// `error` wrapped unchanged under `id`.
AnyIdentifiableError withId(const std::exception& error, const QString& id);

} // namespace signalry
