#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace signalry {

// What the client reads of a store purchase; the store itself sits behind TransactionSource.
struct Transaction {
    enum class ProductType { consumable, nonConsumable, nonRenewable, autoRenewable };
    enum class OfferType { introductory, promotional, code, winBack };
    enum class PaymentMode { freeTrial, payAsYouGo, payUpFront };
    struct Offer {
        OfferType type = OfferType::introductory;
        std::optional<PaymentMode> paymentMode;
    };

    ProductType productType = ProductType::consumable;
    std::optional<Offer> offer;
    std::optional<double> price;
    std::optional<QString> currency; // ISO 4217 code
    std::optional<QString> subscriptionGroupID;
    QString storefrontCountryCode;
    QString productID;
    quint64 originalID = 0;
    std::optional<QDateTime> revocationDate;
    std::optional<QDateTime> expirationDate;
    bool isUpgraded = false;
};

// One entry of the store's stream of transaction updates.
struct TransactionUpdate {
    Transaction transaction;
    bool verified = true;
};

} // namespace signalry
