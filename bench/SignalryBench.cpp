// Cost of the analytics client: one signal on the GUI thread with the default payload (and the
// payload alone), and posting a full cache of 10,000 signals to a loopback TLS ingest service.
// The ingest service's authority is trusted as the program trusts a CA file's, through the
// connections' certificate check. Run: signalry-bench (QT_QPA_PLATFORM=offscreen is set when unset).
#include "platform/Http.h"
#include "signalry/DefaultSignalPayload.h"
#include "signalry/SignalManager.h"
#include "signalry/Signalry.h"
#include "signalry/SignalryManagerConfiguration.h"
#include "signalry/StorageLocations.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace signalry;

namespace {

const QString kAppID = QStringLiteral("4B1C8D4E-3A4F-4C53-9E55-2F1A6B7C8D90");
constexpr int kQueuedSignals = 10'000;

// Accepts every batch and counts the records in it.
class LoopbackIngest {
public:
    LoopbackIngest()
        : server_(QUORVELLE_TEST_DATA_DIR "/sample-catalogue-cert.pem", QUORVELLE_TEST_DATA_DIR "/sample-catalogue-key.pem")
    {
        server_.Post(R"(/v2/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            std::size_t records = 0;
            for (std::size_t at = request.body.find("\"appID\""); at != std::string::npos; at = request.body.find("\"appID\"", at + 1))
                ++records;
            received_ += static_cast<int>(records);
            response.set_content("{}", "application/json");
        });
        // Answers go out at once rather than waiting on the client's delayed acknowledgement.
        server_.set_tcp_nodelay(true);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~LoopbackIngest()
    {
        server_.stop();
        thread_.join();
    }

    QUrl baseUrl() const { return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(port_)); }
    int received() const { return received_; }
    void reset() { received_ = 0; }

private:
    httplib::SSLServer server_;
    std::thread thread_;
    int port_ = -1;
    std::atomic<int> received_{0};
};

struct Environment {
    QTemporaryDir folder;
    StorageLocations::Override locations{folder.path()};
    LoopbackIngest ingest;
};
Environment* environment = nullptr;

std::shared_ptr<SignalryManagerConfiguration> makeConfiguration()
{
    auto configuration = std::make_shared<SignalryManagerConfiguration>(kAppID, QStringLiteral("salt"), environment->ingest.baseUrl());
    configuration->setCertificateCheck(Http::shared().caFileCheck(QStringLiteral(QUORVELLE_TEST_DATA_DIR "/sample-catalogue-cert.pem")));
    configuration->setLogHandler(std::nullopt);
    configuration->setSendNewSessionBeganSignal(false);
    configuration->setSessionStatsEnabled(false);
    return configuration;
}

void signalOnGuiThread(benchmark::State& state)
{
    Signalry::initialize(makeConfiguration());
    const Parameters parameters{{QStringLiteral("screen"), QStringLiteral("browse")}, {QStringLiteral("wallpaperID"), QStringLiteral("1234")}};
    for (auto _ : state) {
        Signalry::signal(QStringLiteral("Wallpaper.applied"), parameters);
        // The hand-over to the signal manager, which builds the default payload on this thread.
        QCoreApplication::sendPostedEvents();
    }
    Signalry::terminate();
}
BENCHMARK(signalOnGuiThread)->Repetitions(10)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void defaultPayload(benchmark::State& state)
{
    Signalry::initialize(makeConfiguration());
    for (auto _ : state)
        benchmark::DoNotOptimize(DefaultSignalPayload::parameters());
    Signalry::terminate();
}
BENCHMARK(defaultPayload)->Unit(benchmark::kMicrosecond);

void postTenThousandQueuedSignals(benchmark::State& state)
{
    SignalManager manager(makeConfiguration(), environment->folder.filePath(QStringLiteral("signalrysignalcache")));
    SignalPostBody record;
    record.receivedAt = QDateTime::currentDateTimeUtc();
    record.appID = kAppID;
    record.clientUser = QStringLiteral("0123456789abcdef");
    record.sessionID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    record.type = QStringLiteral("Wallpaper.applied");
    record.payload = DefaultSignalPayload::parameters();
    record.isTestMode = QStringLiteral("false");
    const QList<SignalPostBody> queued(kQueuedSignals, record);
    for (auto _ : state) {
        state.PauseTiming();
        environment->ingest.reset();
        manager.signalCache().pushSignals(queued);
        state.ResumeTiming();
        for (int batch = 0; batch < kQueuedSignals / 100; ++batch)
            manager.sendNextBatch();
        while (environment->ingest.received() < kQueuedSignals)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
BENCHMARK(postTenThousandQueuedSignals)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Environment env;
    environment = &env;
    benchmark::RunSpecifiedBenchmarks();
    environment = nullptr;
    benchmark::Shutdown();
    return 0;
}
