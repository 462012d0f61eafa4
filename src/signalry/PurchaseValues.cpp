#include "signalry/PurchaseValues.h"

#include "signalry/Transaction.h"
#include "signalry/UsdExchangeRates.h"

namespace signalry {

Parameters PurchaseValues::purchaseParameters(const Transaction& transaction)
{
    Parameters parameters{
        {QStringLiteral("Signalry.Purchase.type"),
         transaction.subscriptionGroupID ? QStringLiteral("subscription") : QStringLiteral("one-time-purchase")},
        {QStringLiteral("Signalry.Purchase.countryCode"), transaction.storefrontCountryCode},
        {QStringLiteral("Signalry.Purchase.productID"), transaction.productID},
    };
    if (transaction.currency)
        parameters.insert(QStringLiteral("Signalry.Purchase.currencyCode"), *transaction.currency);
    return parameters;
}

double PurchaseValues::purchaseValueInUSD(const Transaction& transaction)
{
    const double price = transaction.price.value_or(0.0);
    if (!transaction.currency)
        return 0.0;
    if (*transaction.currency == QLatin1String("USD"))
        return price;
    const std::optional<double> rate = UsdExchangeRates::unitsPerDollar(*transaction.currency);
    return rate ? price / *rate : 0.0;
}

bool PurchaseValues::isFreeTrialStart(const Transaction& transaction)
{
    return transaction.productType == Transaction::ProductType::autoRenewable && transaction.offer
        && transaction.offer->type == Transaction::OfferType::introductory && transaction.price.value_or(0.0) == 0.0;
}

bool PurchaseValues::isFreeTrialTransaction(const Transaction& transaction)
{
    return transaction.offer && transaction.offer->type == Transaction::OfferType::introductory
        && transaction.offer->paymentMode == Transaction::PaymentMode::freeTrial;
}

} // namespace signalry
