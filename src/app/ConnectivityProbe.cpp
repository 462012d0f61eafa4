#include "app/ConnectivityProbe.h"

#include "foundation/Config.h"
#include "platform/Http.h"
#include "platform/HttpResponse.h"

#include <QNetworkRequest>

ConnectivityProbe::ConnectivityProbe() : ConnectivityProbe(probeUrlFor(Config::current().backendBaseUrl)) {}

ConnectivityProbe::ConnectivityProbe(QUrl probeUrl) : probeUrl_(std::move(probeUrl)) {}

QUrl ConnectivityProbe::probeUrlFor(const QUrl& server)
{
    if (server.host().isEmpty())
        return {};
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(server.host());
    url.setPort(server.port());
    url.setPath(QStringLiteral("/hotspot-detect.html"));
    return url;
}

QCoro::Task<bool> ConnectivityProbe::checkInternetConnection() const
{
    const QUrl url = probeUrl_;
    if (!url.isValid() || url.isEmpty())
        co_return false;
    try {
        const HttpResponse response = co_await Http::shared().send(QNetworkRequest(url), "GET", {}, {}, kTimeoutMs);
        co_return response.status == 200;
    } catch (const std::exception&) {
        co_return false;
    }
}
