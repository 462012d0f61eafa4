#include "SignalryFixture.h"

#include "signalry/SignalManager.h"
#include "signalry/Signalry.h"
#include "support/SampleCatalogueFixture.h"

#include <QJsonArray>
#include <QTest>

using namespace signalry;

namespace {

// The analytics client against the sample catalogue, as the running program uses it: signals
// arrive at the catalogue's ingest store with their default payload, under the plain and the
// namespaced path.
class CatalogueIngestTest : public SignalryFixture {
protected:
    ~CatalogueIngestTest() override { Signalry::terminate(); }

    SignalManager& initialize(std::optional<QString> namespaceName)
    {
        configuration_ = makeConfiguration(QUrl(catalogue_.server().baseUrl()), std::move(namespaceName));
        configuration_->addCaCertificatesFromFile(catalogue_.certificateFile());
        Signalry::initialize(configuration_);
        return dynamic_cast<SignalManager&>(SignalryManager::shared()->signalManager());
    }

    QJsonArray sendOne(SignalManager& manager, const QString& name)
    {
        Signalry::signal(name, {{QStringLiteral("title"), QStringLiteral("Aurora")}});
        EXPECT_TRUE(QTest::qWaitFor([&] { return manager.signalCache().count() == 1; }, 15'000));
        manager.sendNextBatch();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !catalogue_.server().ingest().signalList().isEmpty(); }, 15'000));
        return catalogue_.server().ingest().signalList();
    }

    SampleCatalogueFixture catalogue_;
    std::shared_ptr<SignalryManagerConfiguration> configuration_;
};

TEST_F(CatalogueIngestTest, SignalsReachTheCatalogueWithTheirPayload)
{
    ASSERT_TRUE(catalogue_.isRunning());
    const QJsonArray received = sendOne(initialize(std::nullopt), QStringLiteral("Wallpaper.applied"));
    ASSERT_EQ(received.size(), 1);
    const QJsonObject signal = received.first().toObject();
    EXPECT_EQ(signal.value(QStringLiteral("__namespace")).toString(), QString());
    EXPECT_EQ(signal.value(QStringLiteral("type")).toString(), QStringLiteral("Wallpaper.applied"));
    const QJsonObject payload = signal.value(QStringLiteral("payload")).toObject();
    EXPECT_EQ(payload.value(QStringLiteral("title")).toString(), QStringLiteral("Aurora"));
    EXPECT_TRUE(payload.value(QStringLiteral("systemVersion")).isString());
}

TEST_F(CatalogueIngestTest, NamespacedSignalsAreKeptUnderTheirNamespace)
{
    ASSERT_TRUE(catalogue_.isRunning());
    const QJsonArray received = sendOne(initialize(QStringLiteral("desk")), QStringLiteral("Playlist.created"));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.first().toObject().value(QStringLiteral("__namespace")).toString(), QStringLiteral("desk"));
}

} // namespace
