#include "Router.h"

#include "FaultInjector.h"
#include "RequestLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrlQuery>

#include <httplib.h>

#include <memory>

namespace samplecatalogue {

namespace {
constexpr size_t kChunkSize = 64 * 1024;
// Headers the server adds to each request for its own bookkeeping; no client sent them.
const QList<QByteArray> kServerNotes{"remote_addr", "remote_port", "local_addr", "local_port"};

CatalogueRequest toCatalogueRequest(const httplib::Request& req)
{
    CatalogueRequest request;
    request.method = QByteArray::fromStdString(req.method);
    request.path = QString::fromStdString(req.path);
    const auto queryStart = req.target.find('?');
    if (queryStart != std::string::npos) {
        const QUrlQuery query(QString::fromStdString(req.target.substr(queryStart + 1)));
        for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded))
            request.query.append({name, value});
    }
    for (const auto& [name, value] : req.headers) {
        const QByteArray lowered = QByteArray::fromStdString(name).toLower();
        if (!request.headers.contains(lowered) && !kServerNotes.contains(lowered))
            request.headers.insert(lowered, QByteArray::fromStdString(value));
    }
    request.body = QByteArray::fromStdString(req.body);
    for (size_t i = 1; i < req.matches.size(); ++i)
        request.captures.append(QString::fromStdString(req.matches[i].str()));
    return request;
}

// Streams `size` bytes from read(offset, length, buffer); when cut short it stops at the middle
// and returns false, so the server drops the connection after a Content-Length it did not honour.
void streamReply(httplib::Response& res, const QByteArray& contentType, size_t size, bool cutShort,
                 const std::atomic<bool>& stopping, std::function<bool(size_t offset, size_t length, char* buffer)> read)
{
    const size_t limit = cutShort ? size / 2 : size;
    res.set_content_provider(size, contentType.toStdString(),
        [limit, &stopping, read = std::move(read)](size_t offset, size_t length, httplib::DataSink& sink) {
            if (offset >= limit || stopping)
                return false;
            const size_t count = std::min({length, kChunkSize, limit - offset});
            std::string buffer(count, '\0');
            return read(offset, count, buffer.data()) && sink.write(buffer.data(), count);
        });
}

// Clamps the requested byte ranges to the file and drops those that start past its end; false
// when none is left. cpp-httplib 0.11 would otherwise announce a Content-Length beyond the file
// (and then drop the connection) for "bytes=0-999999999" or "bytes=999999999-".
bool satisfiableRanges(httplib::Ranges& ranges, size_t size)
{
    const auto end = ssize_t(size);
    httplib::Ranges kept;
    for (auto [first, last] : ranges) {
        if (first == -1) {
            if (last <= 0 || end == 0)
                continue;
            first = std::max<ssize_t>(0, end - last);
            last = end - 1;
        } else if (first >= end) {
            continue;
        } else if (last == -1 || last >= end) {
            last = end - 1;
        }
        kept.emplace_back(first, last);
    }
    ranges = std::move(kept);
    return !ranges.empty();
}

void send(const CatalogueReply& reply, bool cutShort, const std::atomic<bool>& stopping, httplib::Request& req,
          httplib::Response& res)
{
    if (!reply.file.isEmpty()) {
        auto file = std::make_shared<QFile>(reply.file);
        if (!file->open(QIODevice::ReadOnly)) {
            send(CatalogueReply::error(404, QStringLiteral("Not found")), false, stopping, req, res);
            return;
        }
        const auto size = size_t(file->size());
        if (!req.ranges.empty() && !satisfiableRanges(req.ranges, size)) {
            res.set_header("Content-Range", "bytes */" + std::to_string(size));
            send(CatalogueReply::error(416, QStringLiteral("Range not satisfiable")), false, stopping, req, res);
            return;
        }
        // The server announces ranges on HEAD replies only; players look for it on GET too.
        if (req.method != "HEAD")
            res.set_header("Accept-Ranges", "bytes");
        // The status stays unset so that the server answers 206 to a range request.
        streamReply(res, reply.contentType, size, cutShort, stopping, [file](size_t offset, size_t length, char* buffer) {
            return file->seek(qint64(offset)) && file->read(buffer, qint64(length)) == qint64(length);
        });
        return;
    }
    // Ranges apply to files only; an in-memory reply always goes out whole.
    req.ranges.clear();
    res.status = reply.status;
    if (cutShort) {
        streamReply(res, reply.contentType, size_t(reply.body.size()), true, stopping,
                    [body = reply.body](size_t offset, size_t length, char* buffer) {
                        std::copy_n(body.constData() + offset, length, buffer);
                        return true;
                    });
    } else {
        res.set_content(reply.body.toStdString(), reply.contentType.toStdString());
    }
}

void sendEndless(const std::atomic<bool>& stopping, FaultInjector& faults, httplib::Response& res)
{
    constexpr size_t kEndlessLimit = size_t(1) << 30;
    // A type the server never compresses, so every block goes out as it is.
    res.set_chunked_content_provider("application/octet-stream", [&stopping, &faults](size_t offset, httplib::DataSink& sink) {
        const std::string block(kChunkSize, ' ');
        if (offset >= kEndlessLimit || stopping || !sink.write(block.data(), block.size())) {
            faults.endlessReplyEnded(offset);
            return false;
        }
        return true;
    });
}

bool acceptsJson(const QByteArray& accept)
{
    return accept.contains("application/json");
}

bool isJson(const QByteArray& contentType)
{
    return contentType.trimmed().startsWith("application/json");
}
} // namespace

Router::Router(httplib::Server& server, FaultInjector& faults, RequestLog& log, QByteArray bearerKey)
    : server_(server), faults_(faults), log_(log), bearerKey_(std::move(bearerKey))
{
}

void Router::backend(HttpMethod method, const QString& endpoint, Handler handler)
{
    add(method, backendPath(endpoint), Kind::Backend, std::move(handler));
}

void Router::open(HttpMethod method, const QString& pattern, Handler handler)
{
    add(method, pattern, Kind::Open, std::move(handler));
}

void Router::control(HttpMethod method, const QString& path, Handler handler)
{
    add(method, path, Kind::Control, std::move(handler));
}

void Router::add(HttpMethod method, const QString& pattern, Kind kind, Handler handler)
{
    auto wrapped = [this, kind, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
        const CatalogueRequest request = toCatalogueRequest(req);
        std::optional<Fault> fault;
        if (kind != Kind::Control) {
            log_.record(request);
            fault = faults_.take(request.path);
        }
        if (fault && fault->endless)
            return sendEndless(stopping_, faults_, res);
        const CatalogueReply reply = answer(request, kind, handler, fault);
        // The server hands handlers a const request, but the object is its own, mutable one;
        // send() must correct its ranges before the server applies them.
        send(reply, fault && fault->cutShort, stopping_, const_cast<httplib::Request&>(req), res);
    };
    const std::string path = pattern.toStdString();
    switch (method) {
    case HttpMethod::Get: server_.Get(path, std::move(wrapped)); break;
    case HttpMethod::Post: server_.Post(path, std::move(wrapped)); break;
    case HttpMethod::Put: server_.Put(path, std::move(wrapped)); break;
    }
}

CatalogueReply Router::answer(const CatalogueRequest& request, Kind kind, const Handler& handler,
                              const std::optional<Fault>& fault)
{
    if (fault && fault->delayMs > 0)
        faults_.sleep(fault->delayMs);
    if (fault && fault->status != 0)
        return CatalogueReply::error(fault->status, QStringLiteral("Injected fault"));
    if (fault && fault->invalidJson)
        return {200, "application/json", R"({"data": {"total_wallpapers": 1,)", {}};
    if (fault && fault->emptyBody)
        return {200, "application/json", {}, {}};
    if (kind == Kind::Backend) {
        if (auto refused = refusal(request))
            return *refused;
    }
    CatalogueReply reply = handler(request);
    if (fault && !fault->rewritePattern.isEmpty() && reply.file.isEmpty()) {
        QString body = QString::fromUtf8(reply.body);
        const QRegularExpressionMatch match = QRegularExpression(fault->rewritePattern).match(body);
        if (match.hasMatch()) {
            body.replace(match.capturedStart(), match.capturedLength(), fault->rewriteWith);
            reply.body = body.toUtf8();
        }
    }
    return reply;
}

std::optional<CatalogueReply> Router::refusal(const CatalogueRequest& request) const
{
    if (request.header("authorization") != "Bearer " + bearerKey_)
        return CatalogueReply::error(401, QStringLiteral("Missing or invalid bearer key"));
    if (!acceptsJson(request.header("accept")))
        return CatalogueReply::error(406, QStringLiteral("Accept must include application/json"));
    if (!isJson(request.header("content-type")))
        return CatalogueReply::error(415, QStringLiteral("Content-Type must be application/json"));
    return std::nullopt;
}

} // namespace samplecatalogue
