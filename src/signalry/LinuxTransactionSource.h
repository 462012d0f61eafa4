#pragma once

#include "signalry/TransactionSource.h"

namespace signalry {

// There is no store on Linux: this source never yields an update.
class LinuxTransactionSource final : public TransactionSource {
    Q_OBJECT
};

} // namespace signalry
