#include "IngestServer.h"
#include "ManualClock.h"
#include "SignalryFixture.h"

#include "signalry/SendBackoff.h"
#include "signalry/Sha256Hex.h"
#include "signalry/SignalEnricher.h"
#include "signalry/SignalManager.h"
#include "signalry/SignalSender.h"
#include "signalry/Signalry.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>

#include <atomic>
#include <stdexcept>

using namespace signalry;

namespace {

class ListedEnricher : public SignalEnricher {
public:
    explicit ListedEnricher(Parameters entries) : entries_(std::move(entries)) {}
    Parameters enrich(const QString&, const std::optional<QString>&, std::optional<double>) override
    {
        if (entries_.isEmpty())
            throw std::runtime_error("no entries");
        return entries_;
    }

private:
    Parameters entries_;
};

class SignalSenderTest : public SignalryFixture {
protected:
    // The client lets go of its connections before the server stops waiting on them.
    ~SignalSenderTest() override { Signalry::terminate(); }

    // Installs the real client, talking to `baseUrl` with the test certificate trusted.
    SignalManager& initialize(const QUrl& baseUrl, std::optional<QString> namespaceName = std::nullopt)
    {
        configuration = makeConfiguration(baseUrl, std::move(namespaceName));
        trustOnly(*configuration, IngestServer::certificateFile());
        Signalry::initialize(configuration);
        return dynamic_cast<SignalManager&>(SignalryManager::shared()->signalManager());
    }

    void sendSignals(int count)
    {
        for (int i = 0; i < count; ++i)
            Signalry::signal(QStringLiteral("Numbered"), {{QStringLiteral("n"), QString::number(i)}});
    }

    static bool waitForCache(const SignalManager& manager, int count)
    {
        return QTest::qWaitFor([&] { return manager.signalCache().count() == count; }, 15'000);
    }

    // A loopback port with nothing listening on it.
    static QUrl unreachableUrl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(probe.serverPort()));
    }

    IngestServer server;
    std::shared_ptr<SignalryManagerConfiguration> configuration;
};

TEST_F(SignalSenderTest, SignalsReachTheIngestServiceWithTheDefaultPayload)
{
    SignalManager& manager = initialize(server.baseUrl());
    configuration->setDefaultUser(QStringLiteral("alice"));
    configuration->setTestMode(true);
    configuration->setMetadataEnrichers(
        {std::make_shared<ListedEnricher>(Parameters{{QStringLiteral("screen"), QStringLiteral("enriched")},
                                                     {QStringLiteral("extra"), QStringLiteral("first")}}),
         std::make_shared<ListedEnricher>(Parameters{}),
         std::make_shared<ListedEnricher>(Parameters{{QStringLiteral("extra"), QStringLiteral("later")}})});
    Signalry::signal(QStringLiteral("Opened"), {{QStringLiteral("screen"), QStringLiteral("browse")}});
    Signalry::signal(QStringLiteral("Rated"), {}, 4.5, QStringLiteral("bob"));
    ASSERT_TRUE(waitForCache(manager, 2));
    manager.sendNextBatch();
    ASSERT_TRUE(server.waitForRequests(1));

    const IngestServer::Request request = server.requests().first();
    EXPECT_EQ(request.path, QStringLiteral("/v2/"));
    EXPECT_EQ(request.contentType, QStringLiteral("application/json"));
    const QList<QJsonObject> received = server.acceptedSignals();
    ASSERT_EQ(received.size(), 2);
    const QJsonObject opened = received[0];
    EXPECT_EQ(opened.value(QStringLiteral("type")).toString(), QStringLiteral("Opened"));
    EXPECT_EQ(opened.value(QStringLiteral("appID")).toString(), kAppID);
    EXPECT_EQ(opened.value(QStringLiteral("clientUser")).toString(), sha256Hex(QStringLiteral("alice"), QStringLiteral("pepper")));
    EXPECT_EQ(opened.value(QStringLiteral("sessionID")).toString(),
              configuration->sessionID().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(opened.value(QStringLiteral("isTestMode")).toString(), QStringLiteral("true"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+0000$"))
                    .match(opened.value(QStringLiteral("receivedAt")).toString())
                    .hasMatch());
    EXPECT_FALSE(opened.contains(QStringLiteral("floatValue")));
    EXPECT_EQ(received[1].value(QStringLiteral("floatValue")).toDouble(), 4.5);
    EXPECT_EQ(received[1].value(QStringLiteral("clientUser")).toString(), sha256Hex(QStringLiteral("bob"), QStringLiteral("pepper")))
        << "a signal's own user comes before the default one";

    const QJsonObject payload = opened.value(QStringLiteral("payload")).toObject();
    EXPECT_EQ(payload.value(QStringLiteral("screen")).toString(), QStringLiteral("browse"));
    EXPECT_EQ(payload.value(QStringLiteral("extra")).toString(), QStringLiteral("later"));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Signal enricher failed: no entries")));
    for (const char* key : {"platform", "systemVersion", "modelName", "locale", "Signalry.Device.screenResolutionWidth",
                            "Signalry.Device.timeZone", "Signalry.Calendar.dayOfWeek", "Signalry.UserPreference.colorScheme",
                            "Signalry.Retention.averageSessionSeconds", "Signalry.Acquisition.firstSessionDate"})
        EXPECT_TRUE(payload.value(QLatin1String(key)).isString()) << key;
}

TEST_F(SignalSenderTest, NamespaceSelectsTheNamespacedPath)
{
    SignalManager& manager = initialize(server.baseUrl(), QStringLiteral("acme"));
    sendSignals(1);
    ASSERT_TRUE(waitForCache(manager, 1));
    manager.sendNextBatch();
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(server.requests().first().path, QStringLiteral("/v2/namespace/acme/"));
}

TEST_F(SignalSenderTest, BatchesHoldAtMostOneHundredAndNothingIsSentTwice)
{
    SignalManager& manager = initialize(server.baseUrl());
    sendSignals(250);
    ASSERT_TRUE(waitForCache(manager, 250));
    // Overlapping sends: each takes its own records.
    manager.sendNextBatch();
    manager.sendNextBatch();
    manager.sendNextBatch();
    manager.sendNextBatch();
    ASSERT_TRUE(server.waitForRequests(3));

    QList<qsizetype> sizes;
    for (const IngestServer::Request& request : server.requests())
        sizes.append(QJsonDocument::fromJson(request.body).array().size());
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (QList<qsizetype>{50, 100, 100}));
    QSet<QString> numbers;
    for (const QJsonObject& signal : server.acceptedSignals())
        numbers.insert(signal.value(QStringLiteral("payload")).toObject().value(QStringLiteral("n")).toString());
    EXPECT_EQ(numbers.size(), 250);
}

TEST_F(SignalSenderTest, RefusedForGoodIsDroppedAndLogged)
{
    const QList<int> permanent{400, 401, 403, 404, 413, 422};
    server.queueStatuses(permanent);
    SignalManager& manager = initialize(server.baseUrl());
    for (int i = 0; i < permanent.size(); ++i) {
        sendSignals(1);
        ASSERT_TRUE(waitForCache(manager, 1));
        manager.sendNextBatch();
        ASSERT_TRUE(server.waitForRequests(i + 1));
        // The batch must not come back to the cache.
        ASSERT_TRUE(QTest::qWaitFor([&] { return logLines.count(QStringLiteral("Dropped 1 signals")) == i + 1; }, 15'000));
        EXPECT_EQ(manager.signalCache().count(), 0) << permanent[i];
    }
    EXPECT_TRUE(logLines.contains(QStringLiteral("Unauthorized (401)")));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Forbidden (403)")));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Payload is too large (413)")));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Invalid status code 422")));
}

TEST_F(SignalSenderTest, OtherFailuresComeBackToTheCacheAndGoOutLater)
{
    server.queueStatuses({500, 503, 429});
    SignalManager& manager = initialize(server.baseUrl());
    sendSignals(3);
    ASSERT_TRUE(waitForCache(manager, 3));
    for (int attempt = 1; attempt <= 3; ++attempt) {
        manager.sendNextBatch();
        ASSERT_TRUE(server.waitForRequests(attempt));
        ASSERT_TRUE(waitForCache(manager, 3)) << attempt;
    }
    EXPECT_TRUE(logLines.contains(QStringLiteral("Invalid status code 503")));
    manager.sendNextBatch();
    ASSERT_TRUE(server.waitForRequests(4));
    EXPECT_EQ(server.acceptedSignals().size(), 3);
    EXPECT_TRUE(waitForCache(manager, 0));
}

// A certificate Qt cannot trace to one of the system's authorities goes to the configuration's
// check, with Qt's complaints: its yes lets the batch go, and its no, or no check at all, keeps
// the batch for later and logs why.
TEST_F(SignalSenderTest, ACertificateQtRefusesPassesOnlyByTheCheck)
{
    enum class Check { None, Refuses, Vouches };
    const struct {
        const char* name;
        Check check;
    } cases[] = {{"no check", Check::None}, {"a check that refuses", Check::Refuses}, {"a check that vouches", Check::Vouches}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        IngestServer ingest;
        // The default TLS settings: the test's authority is not among the system's.
        configuration = makeConfiguration(ingest.baseUrl());
        auto complaints = std::make_shared<std::atomic<int>>(0);
        if (c.check != Check::None) {
            configuration->setCertificateCheck([complaints, vouch = c.check == Check::Vouches](const QNetworkReply&,
                                                   const QList<QSslError>& errors) {
                *complaints += int(errors.size());
                return vouch;
            });
        }
        Signalry::initialize(configuration);
        auto& manager = dynamic_cast<SignalManager&>(SignalryManager::shared()->signalManager());
        const QString refused = QStringLiteral("SSL handshake failed");
        const qsizetype refusedBefore = logLines.count(refused);
        sendSignals(1);
        ASSERT_TRUE(waitForCache(manager, 1));
        manager.sendNextBatch();
        if (c.check == Check::Vouches) {
            ASSERT_TRUE(ingest.waitForRequests(1));
            EXPECT_TRUE(waitForCache(manager, 0));
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return logLines.count(refused) > refusedBefore; }, 15'000))
                << logLines.lines().join(u'\n').toStdString();
            EXPECT_TRUE(waitForCache(manager, 1)) << "the batch is kept";
            EXPECT_EQ(ingest.requests().size(), 0);
        }
        EXPECT_EQ(*complaints > 0, c.check != Check::None) << "the check hears Qt's complaints";
        Signalry::terminate();
        QFile::remove(cacheFile()); // the kept signal is the next case's no longer
    }
}

TEST_F(SignalSenderTest, ScheduledSendsBackOffAfterFailures)
{
    ManualClock clock;
    const Clock::Override useClock(clock);
    server.queueStatuses({500});
    configuration = makeConfiguration(server.baseUrl());
    trustOnly(*configuration, IngestServer::certificateFile());
    auto cache = std::make_shared<SignalCache>(cacheFile(), std::nullopt);
    SignalSender sender(configuration, cache);
    sender.start();
    cache->pushSignal({clock.now(), kAppID, QStringLiteral("u"), QStringLiteral("S"), QStringLiteral("Backoff"), std::nullopt, {}, QStringLiteral("false")});
    sender.sendNextBatch(true);
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return cache->count() == 1; }, 15'000));

    // The next tick falls inside the back-off; the one after it sends.
    clock.advance(10);
    sender.sendNextBatch(true);
    EXPECT_EQ(cache->count(), 1);
    clock.advance(10);
    sender.sendNextBatch(true);
    ASSERT_TRUE(server.waitForRequests(2));
    EXPECT_TRUE(QTest::qWaitFor([&] { return cache->count() == 0; }, 15'000));
    sender.stop(QThread::currentThread());
}

TEST_F(SignalSenderTest, StartSendsTheCacheAtOnceThenEveryTenSeconds)
{
    configuration = makeConfiguration(server.baseUrl());
    trustOnly(*configuration, IngestServer::certificateFile());
    auto cache = std::make_shared<SignalCache>(cacheFile(), std::nullopt);
    cache->pushSignal({QDateTime::currentDateTimeUtc(), kAppID, QStringLiteral("u"), QStringLiteral("S"),
        QStringLiteral("Saved"), std::nullopt, {}, QStringLiteral("false")});
    SignalSender sender(configuration, cache);
    sender.start();
    EXPECT_EQ(cache->count(), 0) << "the saved batch left before the first tick";
    const auto timers = sender.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    EXPECT_TRUE(timers.first()->isActive());
    EXPECT_EQ(timers.first()->interval(), 10'000);
    ASSERT_TRUE(server.waitForRequests(1));
    sender.stop(QThread::currentThread());
}

TEST(SendBackoffTest, DoublesUpToFiveMinutesAndResetsOnDelivery)
{
    SendBackoff backoff;
    EXPECT_TRUE(backoff.allowsSendAt(0));
    QList<double> delays;
    for (int failure = 0; failure < 6; ++failure) {
        backoff.recordFailure(100);
        delays << backoff.currentDelaySeconds();
    }
    EXPECT_EQ(delays, (QList<double>{20, 40, 80, 160, 300, 300}));
    EXPECT_FALSE(backoff.allowsSendAt(399));
    EXPECT_TRUE(backoff.allowsSendAt(400));
    backoff.recordSuccess();
    EXPECT_TRUE(backoff.allowsSendAt(0));
}

TEST_F(SignalSenderTest, UnreachableServiceKeepsTheSignals)
{
    SignalManager& manager = initialize(unreachableUrl());
    sendSignals(5);
    ASSERT_TRUE(waitForCache(manager, 5));
    manager.sendNextBatch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines.contains(QStringLiteral("Connection refused")); }, 15'000));
    EXPECT_TRUE(waitForCache(manager, 5));
}

TEST_F(SignalSenderTest, TheFirstSignalOfARunIsSavedAtOnceLaterOnesAtTheTick)
{
    ManualClock clock;
    const Clock::Override useClock(clock);
    SignalManager& manager = initialize(unreachableUrl());
    const auto savedCount = [&] {
        QFile file(cacheFile());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array().size() : -1;
    };
    sendSignals(1);
    // Before the first tick (10 s) and without a termination: a kill now must not lose it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return savedCount() == 1; }, 5'000));

    sendSignals(1);
    ASSERT_TRUE(waitForCache(manager, 2));
    clock.advance(SendBackoff::kSendIntervalSeconds - 1);
    sendSignals(1);
    ASSERT_TRUE(waitForCache(manager, 3));
    EXPECT_EQ(savedCount(), 1) << "within ten seconds of a save, new signals wait for the tick";

    clock.advance(2);
    sendSignals(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return savedCount() == 4; }, 15'000));
}

TEST_F(SignalSenderTest, HugeParameterValuesArriveWhole)
{
    SignalManager& manager = initialize(server.baseUrl());
    const QString huge(2'000'000, QLatin1Char('x'));
    Signalry::signal(QStringLiteral("Huge"), {{QStringLiteral("blob"), huge}});
    ASSERT_TRUE(waitForCache(manager, 1));
    manager.sendNextBatch();
    ASSERT_TRUE(server.waitForRequests(1));
    ASSERT_EQ(server.acceptedSignals().size(), 1);
    EXPECT_EQ(server.acceptedSignals()[0].value(QStringLiteral("payload")).toObject().value(QStringLiteral("blob")).toString(), huge);
}

TEST_F(SignalSenderTest, UnsentSignalsSurviveARestart)
{
    SignalManager& first = initialize(unreachableUrl());
    sendSignals(3);
    ASSERT_TRUE(waitForCache(first, 3));
    first.appWillTerminate();
    Signalry::terminate();
    ASSERT_TRUE(QFile::exists(cacheFile()));

    // The next start loads the file and sends it at once; once delivered, the file lets go of them.
    SignalManager& second = initialize(server.baseUrl());
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(server.acceptedSignals().size(), 3);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Loaded 3 signals")));
    // The server's answer reaches the client after the server counted the request: until then the
    // batch is in flight, and a save keeps it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.signalCache().inFlightCount() == 0; }, 15'000));
    Signalry::terminate();
    QFile file(cacheFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[]"));
}

} // namespace
