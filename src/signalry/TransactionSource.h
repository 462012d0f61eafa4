#pragma once

#include "signalry/Transaction.h"

#include <QObject>

namespace signalry {

// The store's stream of transaction updates. The platform's source is installed unless a test
// installs another; `transactionUpdated` may be emitted on any thread.
class TransactionSource : public QObject {
    Q_OBJECT

public:
    static TransactionSource& current();
    // Installs `source` (not owned); nullptr restores the platform's.
    static void setCurrent(TransactionSource* source);

signals:
    void transactionUpdated(const signalry::TransactionUpdate& update);

protected:
    TransactionSource() = default;
};

} // namespace signalry
