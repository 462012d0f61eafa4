#include "foundation/JsonError.h"

QString JsonError::localizedDescription() const
{
    return path_.isEmpty() ? message_ : path_ + QStringLiteral(": ") + message_;
}
