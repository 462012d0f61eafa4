#include "signalry/AnyIdentifiableError.h"

namespace signalry {

AnyIdentifiableError::AnyIdentifiableError(QString id, QString errorDescription)
    : id_(std::move(id)), errorDescription_(std::move(errorDescription))
{
}

AnyIdentifiableError::AnyIdentifiableError(QString id, const std::exception& error)
    : AnyIdentifiableError(std::move(id), QString::fromUtf8(error.what()))
{
}

AnyIdentifiableError withId(const std::exception& error, const QString& id) { return AnyIdentifiableError(id, error); }

} // namespace signalry
