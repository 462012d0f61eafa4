#include "SampleCatalogue.h"

#include "AssetEndpoints.h"
#include "CatalogueEndpoints.h"
#include "ControlEndpoints.h"
#include "CounterEndpoint.h"
#include "IngestEndpoints.h"
#include "MediaStore.h"
#include "PartnerEndpoint.h"
#include "PlatformStatsEndpoint.h"
#include "Router.h"
#include "SearchEndpoints.h"
#include "StockManifestEndpoint.h"
#include "UpdateFeedEndpoints.h"
#include "UploadEndpoints.h"
#include "WallpaperListEndpoints.h"

#include <QDir>
#include <QFileInfo>

#include <httplib.h>

#include <chrono>
#include <csignal>

namespace samplecatalogue {

namespace {
const char* const kHost = "127.0.0.1";
constexpr auto kStartTimeout = std::chrono::seconds(5);

// Idle keep-alive connections hold the server's workers, and stop() waits for them: keep the
// wait short. Clients reconnect transparently.
constexpr time_t kKeepAliveSeconds = 1;

// A client takes a reply as fast as its GUI thread reads it: on a loaded machine that thread can
// stand still for longer than the 5 s the server would otherwise wait to write, and the reply is
// cut where the client meant to end it (a reply past its size limit).
constexpr time_t kWriteSeconds = 20;

// A client that hangs up mid-reply must not end the process: writes then fail with EPIPE instead.
void ignoreBrokenPipes()
{
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
}

void answerErrorsInJson(httplib::Server& server)
{
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty() || res.content_length_ > 0)
            return httplib::Server::HandlerResponse::Unhandled;
        const std::string message = res.status == 404 ? "Not found" : "HTTP status " + std::to_string(res.status);
        res.set_content(R"({"error":")" + message + R"("})", "application/json");
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(R"({"error":"Internal error"})", "application/json");
    });
}
} // namespace

SampleCatalogue::SampleCatalogue() : SampleCatalogue(Options()) {}

SampleCatalogue::SampleCatalogue(Options options)
    : options_(std::move(options)), media_(std::make_unique<MediaStore>(options_.mediaFolder, options_.ffmpeg, options_.look))
{
    data_.countWith(usage_);
}

SampleCatalogue::~SampleCatalogue()
{
    stop();
}

QString SampleCatalogue::defaultSeedFile()
{
    return QStringLiteral(SAMPLE_CATALOGUE_SOURCE_DIR "/seed.json");
}

QString SampleCatalogue::defaultMediaFolder()
{
    const QString caches = qEnvironmentVariable("XDG_CACHE_HOME");
    return (caches.isEmpty() ? QDir::homePath() + QStringLiteral("/.cache") : caches)
           + QStringLiteral("/quorvelle-sample-catalogue");
}

QString SampleCatalogue::defaultCertificateFile()
{
    return QStringLiteral(SAMPLE_CATALOGUE_TEST_DATA_DIR "/sample-catalogue-cert.pem");
}

QString SampleCatalogue::defaultPrivateKeyFile()
{
    return QStringLiteral(SAMPLE_CATALOGUE_TEST_DATA_DIR "/sample-catalogue-key.pem");
}

QString SampleCatalogue::assetHost() const
{
    return QStringLiteral("%1:%2").arg(QLatin1String(kHost)).arg(port_);
}

QString SampleCatalogue::baseUrl() const
{
    return QStringLiteral("https://") + assetHost();
}

QString SampleCatalogue::backendUrl() const
{
    return baseUrl() + QStringLiteral("/functions/v1");
}

bool SampleCatalogue::loadSeed()
{
    if (!loaded_)
        loaded_ = data_.load(options_.seedFile, &error_);
    return loaded_;
}

bool SampleCatalogue::generateAllMedia(int jobs, const std::function<void(int done, int total)>& progress)
{
    return loadSeed() && media_->generateAll(data_.mediaSources(), jobs, progress, &error_);
}

bool SampleCatalogue::start(quint16 port)
{
    if (server_) {
        error_ = QStringLiteral("already running on port %1").arg(port_);
        return false;
    }
    if (!loadSeed())
        return false;
    for (const QString& file : {options_.certificateFile, options_.privateKeyFile}) {
        if (!QFileInfo(file).isReadable()) {
            error_ = QStringLiteral("cannot read %1").arg(file);
            return false;
        }
    }
    ignoreBrokenPipes();
    auto server = std::make_unique<httplib::SSLServer>(QFile::encodeName(options_.certificateFile).constData(),
                                                       QFile::encodeName(options_.privateKeyFile).constData());
    if (!server->is_valid()) {
        error_ = QStringLiteral("the certificate %1 or key %2 is not usable")
                     .arg(options_.certificateFile, options_.privateKeyFile);
        return false;
    }
    // Replies go out in several small writes; without this each waits some 40 ms for the
    // client's delayed acknowledgement. Accepted sockets take it from the listening one.
    server->set_tcp_nodelay(true);
    const int bound = port == 0 ? server->bind_to_any_port(kHost) : (server->bind_to_port(kHost, port) ? port : -1);
    if (bound <= 0) {
        error_ = QStringLiteral("cannot listen on %1:%2").arg(QLatin1String(kHost)).arg(port);
        return false;
    }
    server->set_keep_alive_timeout(kKeepAliveSeconds);
    server->set_write_timeout(kWriteSeconds);
    answerErrorsInJson(*server);
    server_ = std::move(server);
    port_ = quint16(bound);
    installEndpoints();

    faults_.allowSleeps();
    thread_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
    // stop() is a no-op until the server loop runs, so wait for it here.
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server_->is_running()) {
        error_ = QStringLiteral("the server loop did not start");
        stop();
        return false;
    }
    return true;
}

void SampleCatalogue::installEndpoints()
{
    router_ = std::make_unique<Router>(*server_, faults_, requests_, options_.bearerKey.toUtf8());
    PlatformStatsEndpoint::install(*router_, data_, assetHost());
    CatalogueEndpoints::install(*router_, data_, shapes_);
    WallpaperListEndpoints::install(*router_, data_, shapes_);
    SearchEndpoints::install(*router_, data_, shapes_, usage_);
    PartnerEndpoint::install(*router_, data_, shapes_, assetHost());
    UploadEndpoints::install(*router_, data_, uploads_, shapes_, baseUrl());
    CounterEndpoint::install(*router_, data_, usage_);
    AssetEndpoints::install(*router_, data_, *media_);
    UpdateFeedEndpoints::install(*router_, options_.updatesFolder, baseUrl());
    StockManifestEndpoint::install(*router_);
    IngestEndpoints::install(*router_, ingest_);
    ControlEndpoints::install(*router_, faults_, requests_, shapes_);
}

void SampleCatalogue::stop()
{
    if (!server_)
        return;
    faults_.interruptSleeps();
    router_->stopStreaming();
    server_->stop();
    if (thread_.joinable())
        thread_.join();
    server_.reset();
    router_.reset();
    port_ = 0;
}

} // namespace samplecatalogue
