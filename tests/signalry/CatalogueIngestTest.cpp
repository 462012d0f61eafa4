#include "SignalryFixture.h"

#include "signalry/SignalCache.h"
#include "signalry/SignalManager.h"
#include "signalry/SignalSender.h"
#include "signalry/Signalry.h"
#include "support/SampleCatalogueFixture.h"

#include <QJsonArray>
#include <QTest>
#include <QThread>

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
        trustOnly(*configuration_, catalogue_.certificateFile());
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

    void sendSignals(SignalManager& manager, int count)
    {
        for (int i = 0; i < count; ++i)
            Signalry::signal(QStringLiteral("Numbered"), {{QStringLiteral("n"), QString::number(i)}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return manager.signalCache().count() == count; }, 15'000));
    }
    int ingested() { return int(catalogue_.server().ingest().signalList().size()); }
    // What a process killed now would find at its next start.
    QList<SignalPostBody> onDisk() const
    {
        SignalCache cache(cacheFile(), std::nullopt);
        cache.load();
        return cache.snapshot();
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

// Signals the service could not take yet are on disk within one 10-second tick, without a
// termination; a kill costs nothing, and the next start delivers them once.
TEST_F(CatalogueIngestTest, QueuedSignalsAreSavedWhileTheProgramRuns)
{
    ASSERT_TRUE(catalogue_.isRunning());
    catalogue_.server().setFault(QStringLiteral("/v2/"), samplecatalogue::Fault{.status = 503});
    SignalManager& manager = initialize(std::nullopt);
    sendSignals(manager, 3);
    manager.sendNextBatch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines.contains(QStringLiteral("Invalid status code 503")); }, 15'000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return onDisk().size() == 3; }, 15'000));

    catalogue_.server().clearFaults();
    Signalry::terminate();
    SignalManager& next = initialize(std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ingested() == 3; }, 15'000));
    // The program heard the answer too (a quit that cannot wait for it keeps the batch, to be
    // sent again: delivered at least once).
    ASSERT_TRUE(QTest::qWaitFor([&] { return next.signalCache().inFlightCount() == 0 && next.signalCache().count() == 0; }, 15'000));
    Signalry::terminate();
    EXPECT_TRUE(onDisk().isEmpty());
    EXPECT_EQ(ingested(), 3);
}

struct QuitCase {
    int replyDelayMs;
    int savedAtQuit; // signals the next start sends
};

class BatchInFlightAtQuitTest : public CatalogueIngestTest, public ::testing::WithParamInterface<QuitCase> {};

// A slow answer that comes within the wait at quit counts as delivered: the batch is not sent
// again. One that does not come is kept, so nothing is lost either.
TEST_P(BatchInFlightAtQuitTest, IsSentAgainOnlyWhenItsAnswerNeverCame)
{
    ASSERT_TRUE(catalogue_.isRunning());
    catalogue_.server().setFault(QStringLiteral("/v2/"), samplecatalogue::Fault{.delayMs = GetParam().replyDelayMs});
    SignalManager& manager = initialize(std::nullopt);
    sendSignals(manager, 2);
    manager.sendNextBatch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return catalogue_.server().requestCount(QStringLiteral("/v2/")) == 1; }, 15'000));
    manager.appWillTerminate();
    Signalry::terminate();
    EXPECT_EQ(onDisk().size(), GetParam().savedAtQuit);
}

INSTANTIATE_TEST_SUITE_P(Delays, BatchInFlightAtQuitTest,
    ::testing::Values(QuitCase{1'000, 0}, QuitCase{SignalSender::kQuitWaitMs + 3'000, 2}),
    [](const auto& param) { return "Reply" + std::to_string(param.param.replyDelayMs) + "ms"; });

// A stored queue is read on the sender's thread, never on the GUI thread that starts the client.
TEST_F(CatalogueIngestTest, TheStoredQueueIsReadOffTheGuiThread)
{
    ASSERT_TRUE(catalogue_.isRunning());
    {
        SignalCache earlier(cacheFile(), std::nullopt);
        earlier.pushSignal(SignalPostBody{QDateTime::currentDateTimeUtc(), kAppID, QStringLiteral("u"), QStringLiteral("S"),
            QStringLiteral("Stored"), std::nullopt, {}, QStringLiteral("false")});
        earlier.saveToDisk();
    }
    auto readOn = std::make_shared<QString>();
    auto configuration = makeConfiguration(QUrl(catalogue_.server().baseUrl()));
    trustOnly(*configuration, catalogue_.certificateFile());
    configuration->setLogHandler(LogHandler(LogHandler::LogLevel::Info, [readOn](LogHandler::LogLevel, const QString& line) {
        if (line.startsWith(QStringLiteral("Loading Signalry cache")))
            *readOn = QThread::currentThread()->objectName();
    }));
    Signalry::initialize(configuration);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ingested() == 1; }, 15'000));
    Signalry::terminate(); // joins the sender's thread before its note is read
    EXPECT_EQ(*readOn, QStringLiteral("com.signalry.SignalTimer"));
}

} // namespace
