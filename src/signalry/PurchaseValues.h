#pragma once

#include "signalry/Parameters.h"

namespace signalry {

struct Transaction;

// What purchase signals say about a transaction, shared by the purchase and the conversion report.
class PurchaseValues {
public:
    // Type ("subscription" or "one-time-purchase"), country, product and, when known, currency.
    static Parameters purchaseParameters(const Transaction& transaction);
    // The price in US dollars; 0 without a price, without a currency or for a currency outside
    // the table.
    static double purchaseValueInUSD(const Transaction& transaction);
    // An auto-renewable subscription bought through an introductory offer at no price.
    static bool isFreeTrialStart(const Transaction& transaction);
    // The transaction's offer is an introductory free trial.
    static bool isFreeTrialTransaction(const Transaction& transaction);
};

} // namespace signalry
