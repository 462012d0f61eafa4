#pragma once

#include "CatalogueData.h"
#include "CatalogueRequest.h"
#include "Fault.h"
#include "FaultInjector.h"
#include "ReplyShapes.h"
#include "RequestLog.h"
#include "UploadStore.h"
#include "IngestStore.h"
#include "MediaRecipe.h"
#include "UsageCounters.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace httplib {
class SSLServer;
}

namespace samplecatalogue {

class MediaStore;
class Router;

// The loopback stand-in for the outside services: the catalogue backend under "/functions/v1"
// and the asset host under "/wallpaper/<key>/", over TLS on 127.0.0.1. The server runs on a
// thread of its own between start() and stop(); setters may be called from any thread while it
// runs. Used in-process by tests and by the `sample-catalogue` executable.
class SampleCatalogue {
public:
    struct Options {
        QString seedFile = defaultSeedFile();
        QString mediaFolder = defaultMediaFolder();
        QString certificateFile = defaultCertificateFile();
        QString privateKeyFile = defaultPrivateKeyFile();
        QString bearerKey = QStringLiteral("sample-anon-key");
        QString ffmpeg = QStringLiteral("ffmpeg");
        QString updatesFolder; // the update feed and packages; see UpdateFeedEndpoints
        // Test patterns with captions, or uncaptioned pictures for screenshots meant for people.
        MediaRecipe::Look look = MediaRecipe::Look::TestPattern;
    };

    SampleCatalogue();
    explicit SampleCatalogue(Options options);
    ~SampleCatalogue();
    SampleCatalogue(const SampleCatalogue&) = delete;
    SampleCatalogue& operator=(const SampleCatalogue&) = delete;

    // Loads the seed and listens on 127.0.0.1:port (0: any free port). False, with the reason in
    // errorString(), when the seed, the certificate or the port is unusable.
    bool start(quint16 port = 0);
    // Stops listening, cuts injected delays short and joins the server thread.
    void stop();
    bool isRunning() const { return server_ != nullptr; }

    quint16 port() const { return port_; }
    QString assetHost() const;   // "127.0.0.1:N", the host part clients put after "https://"
    QString baseUrl() const;     // "https://127.0.0.1:N"
    QString backendUrl() const;  // baseUrl() + "/functions/v1"
    QString errorString() const { return error_; }
    const Options& options() const { return options_; }

    // Draws every missing media file ahead of requests (loading the seed first when needed).
    bool generateAllMedia(int jobs, const std::function<void(int done, int total)>& progress);
    const CatalogueData& catalogue() const { return data_; }
    MediaStore& media() { return *media_; }

    // Faults for requests whose path equals or starts with path; see Fault.
    void setFault(const QString& path, const Fault& fault) { faults_.setFault(path, fault); }
    void clearFaults() { faults_.clearFaults(); }
    // How many replies of `endless` faults have ended, and the most one of them sent.
    int endlessRepliesEnded() const { return faults_.endlessRepliesEnded(); }
    size_t longestEndlessReply() const { return faults_.longestEndlessReply(); }

    // The reply shape of a backend path whose real backend may answer in several (see the
    // endpoint groups); an empty shape goes back to the usual one. The request header
    // "X-Sample-Reply-Shape" picks one for a single request.
    void setReplyShape(const QString& path, const QString& shape) { shapes_.setShape(path, shape); }
    void clearReplyShapes() { shapes_.clear(); }

    // What clients reported: download and like counts ("downloads", "likes"), wallpaper reports,
    // community uploads (whose review status a test may set).
    const UsageCounters& usage() const { return usage_; }
    UploadStore& uploads() { return uploads_; }
    // Analytics signals posted to the ingest service.
    IngestStore& ingest() { return ingest_; }

    // Requests received per exact path (control requests excluded).
    int requestCount(const QString& path) const { return requests_.count(path); }
    std::optional<CatalogueRequest> lastRequest(const QString& path) const { return requests_.last(path); }
    void clearRequests() { requests_.clear(); }

    static QString defaultSeedFile();
    static QString defaultMediaFolder();
    static QString defaultCertificateFile();
    static QString defaultPrivateKeyFile();

private:
    bool loadSeed();
    void installEndpoints();

    const Options options_;
    CatalogueData data_;
    bool loaded_ = false;
    std::unique_ptr<MediaStore> media_;
    FaultInjector faults_;
    RequestLog requests_;
    ReplyShapes shapes_;
    UsageCounters usage_;
    UploadStore uploads_;
    IngestStore ingest_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::unique_ptr<Router> router_;
    std::thread thread_;
    quint16 port_ = 0;
    QString error_;
};

} // namespace samplecatalogue
