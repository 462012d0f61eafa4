#pragma once

#include "CatalogueReply.h"
#include "CatalogueRequest.h"
#include "Fault.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace samplecatalogue {

class FaultInjector;
class RequestLog;

enum class HttpMethod { Get, Post, Put };

// Registers the endpoints on the HTTP server and wraps every handler in what each request goes
// through: the request log, injected faults, and for backend endpoints the bearer key and JSON
// headers. Handlers run on the server's worker threads, see Qt types only and must not throw.
// Owned by SampleCatalogue, alive while its server is.
class Router {
public:
    using Handler = std::function<CatalogueReply(const CatalogueRequest&)>;

    static QString backendPath(const QString& endpoint) { return QStringLiteral("/functions/v1/") + endpoint; }

    Router(httplib::Server& server, FaultInjector& faults, RequestLog& log, QByteArray bearerKey);

    // backendPath(endpoint); refused without the bearer key or the JSON Accept/Content-Type headers.
    void backend(HttpMethod method, const QString& endpoint, Handler handler);
    // A path pattern (a regular expression whose groups become the captures) open to anyone:
    // assets, feeds, ingest.
    void open(HttpMethod method, const QString& pattern, Handler handler);
    // Test control: neither recorded nor subject to faults.
    void control(HttpMethod method, const QString& path, Handler handler);

    // Ends the replies being streamed at their next chunk, so that stopping the server does not
    // wait for a slow reader of a large file.
    void stopStreaming() { stopping_ = true; }

private:
    enum class Kind { Backend, Open, Control };

    void add(HttpMethod method, const QString& pattern, Kind kind, Handler handler);
    CatalogueReply answer(const CatalogueRequest& request, Kind kind, const Handler& handler,
                          const std::optional<Fault>& fault);
    std::optional<CatalogueReply> refusal(const CatalogueRequest& request) const;

    httplib::Server& server_;
    FaultInjector& faults_;
    RequestLog& log_;
    QByteArray bearerKey_;
    std::atomic<bool> stopping_{false};
};

} // namespace samplecatalogue
