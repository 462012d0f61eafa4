#pragma once

#include <QCoro/QCoroTask>
#include <QUrl>

// Tells whether the network is usable: a GET of "/hotspot-detect.html" on the probe host that
// comes back with status 200 (after any redirect) means online; a transfer failure, any other
// status or a portal's redirect page means offline. GUI thread; never throws.
class ConnectivityProbe {
public:
    static constexpr int kTimeoutMs = 10'000;

    // The deployment's backend host (the service the application needs to reach).
    ConnectivityProbe();
    explicit ConnectivityProbe(QUrl probeUrl);

    // "https://" + host (and port) + "/hotspot-detect.html"; empty when the host is empty.
    static QUrl probeUrlFor(const QUrl& server);
    const QUrl& probeUrl() const { return probeUrl_; }

    QCoro::Task<bool> checkInternetConnection() const;

private:
    QUrl probeUrl_;
};
