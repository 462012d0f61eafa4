#include "ManualClock.h"
#include "SignalryFixture.h"

#include "signalry/DefaultsSuite.h"
#include "signalry/PurchaseValues.h"
#include "signalry/Signalry.h"
#include "signalry/TransactionSource.h"
#include "signalry/TrialConversionTracker.h"
#include "signalry/UsdExchangeRates.h"

using namespace signalry;

namespace {

// The store's update stream, fed by the test.
class FedTransactionSource : public TransactionSource {
public:
    FedTransactionSource() { setCurrent(this); }
    ~FedTransactionSource() override { setCurrent(nullptr); }
    void feed(const Transaction& transaction, bool verified = true) { emit transactionUpdated({transaction, verified}); }
};

class PurchaseSignalsTest : public SignalryFixture {
protected:
    PurchaseSignalsTest() : recorder(installRecording()), useClock(clock) {}

    static Transaction trialStart()
    {
        Transaction transaction;
        transaction.productType = Transaction::ProductType::autoRenewable;
        transaction.offer = Transaction::Offer{Transaction::OfferType::introductory, Transaction::PaymentMode::freeTrial};
        transaction.price = 0.0;
        transaction.currency = QStringLiteral("EUR");
        transaction.subscriptionGroupID = QStringLiteral("group");
        transaction.storefrontCountryCode = QStringLiteral("DEU");
        transaction.productID = QStringLiteral("pro.yearly");
        transaction.originalID = 9'007'199'254'740'993; // beyond a double's exact integers
        return transaction;
    }
    static Transaction renewal()
    {
        Transaction transaction = trialStart();
        transaction.offer.reset();
        transaction.price = 19.066;
        return transaction;
    }
    std::unique_ptr<TrialConversionTracker> tracker()
    {
        return std::make_unique<TrialConversionTracker>([] { return SignalryManager::analyticsDefaultsSuite(); });
    }
    QStringList sentTypes()
    {
        settle();
        QStringList types;
        for (const auto& signal : recorder.recorded)
            types << signal.type;
        return types;
    }

    RecordingSignalManager& recorder;
    ManualClock clock;
    Clock::Override useClock;
    FedTransactionSource store;
};

TEST_F(PurchaseSignalsTest, PricesBecomeUsDollarsThroughTheTable)
{
    EXPECT_EQ(UsdExchangeRates::size(), 161);
    EXPECT_EQ(UsdExchangeRates::unitsPerDollar(u"KWD"), 0.3085);
    EXPECT_FALSE(UsdExchangeRates::unitsPerDollar(u"USD"));

    Transaction purchase;
    purchase.productID = QStringLiteral("sticker");
    purchase.price = 95.33;
    purchase.currency = QStringLiteral("EUR");
    Signalry::purchaseCompleted(purchase, {{QStringLiteral("source"), QStringLiteral("shop")}});
    settle();
    ASSERT_EQ(recorder.recorded.size(), 1);
    const auto completed = recorder.recorded.first();
    EXPECT_EQ(completed.type, QStringLiteral("Signalry.Purchase.completed"));
    EXPECT_DOUBLE_EQ(*completed.floatValue, 100.0);
    EXPECT_EQ(completed.parameters.value(QStringLiteral("Signalry.Purchase.type")), QStringLiteral("one-time-purchase"));
    EXPECT_EQ(completed.parameters.value(QStringLiteral("Signalry.Purchase.currencyCode")), QStringLiteral("EUR"));
    EXPECT_EQ(completed.parameters.value(QStringLiteral("source")), QStringLiteral("shop"));

    purchase.currency = QStringLiteral("XYZ");
    EXPECT_EQ(PurchaseValues::purchaseValueInUSD(purchase), 0.0);
    purchase.currency.reset();
    EXPECT_EQ(PurchaseValues::purchaseValueInUSD(purchase), 0.0);
    purchase.currency = QStringLiteral("USD");
    EXPECT_EQ(PurchaseValues::purchaseValueInUSD(purchase), 95.33);
}

TEST_F(PurchaseSignalsTest, FreeTrialIsReportedStoredAndWatched)
{
    Signalry::purchaseCompleted(trialStart());
    EXPECT_EQ(sentTypes(), QStringList{QStringLiteral("Signalry.Purchase.freeTrialStarted")});
    EXPECT_FALSE(recorder.recorded.first().floatValue);
    EXPECT_TRUE(TrialConversionTracker::shared().isObserving());
    EXPECT_EQ(TrialConversionTracker::shared().loadStoredTrial(), (StoredTrial{QStringLiteral("pro.yearly"), 9'007'199'254'740'993}));

    Transaction paid = trialStart();
    paid.price = 4.99;
    EXPECT_FALSE(PurchaseValues::isFreeTrialStart(paid));
    TrialConversionTracker::shared().storeTrial(std::nullopt);
}

TEST_F(PurchaseSignalsTest, ConversionIsReportedOnceForTheStoredTrialOnly)
{
    auto watcher = tracker();
    watcher->storeTrial(StoredTrial{QStringLiteral("pro.yearly"), trialStart().originalID});
    watcher->startObservingTransactions();

    Transaction other = renewal();
    other.originalID = 7;
    store.feed(other);
    store.feed(renewal(), false);
    store.feed(trialStart());
    EXPECT_TRUE(sentTypes().isEmpty());
    EXPECT_TRUE(watcher->loadStoredTrial());

    store.feed(renewal());
    store.feed(renewal());
    EXPECT_EQ(sentTypes(), QStringList{QStringLiteral("Signalry.Purchase.convertedFromTrial")});
    EXPECT_NEAR(*recorder.recorded.first().floatValue, 20.0, 1e-9);
    EXPECT_FALSE(watcher->loadStoredTrial());
    EXPECT_FALSE(watcher->isObserving());
}

TEST_F(PurchaseSignalsTest, TrialEndingWithoutConversionIsForgottenSilently)
{
    const auto endings = std::vector<std::function<void(Transaction&)>>{
        [](Transaction& t) { t.revocationDate = QDateTime::currentDateTimeUtc(); },
        [this](Transaction& t) { t.expirationDate = clock.now().addSecs(-1); },
        [](Transaction& t) { t.isUpgraded = true; },
    };
    for (const auto& end : endings) {
        auto watcher = tracker();
        watcher->storeTrial(StoredTrial{QStringLiteral("pro.yearly"), trialStart().originalID});
        watcher->startObservingTransactions();
        Transaction ended = renewal();
        end(ended);
        store.feed(ended);
        EXPECT_FALSE(watcher->loadStoredTrial());
        EXPECT_FALSE(watcher->isObserving());
    }
    EXPECT_TRUE(sentTypes().isEmpty());
}

} // namespace
