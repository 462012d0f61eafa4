#pragma once

#include "platform/HttpTrustStore.h"

#include <QStringList>

#include <memory>

// Gives a libcurl transfer's TLS context the program's trust (the shared store of
// HttpTrustStore), and names what was wrong with a refused certificate in the words Qt's own TLS
// uses, so it reads the same on every transfer. The verdict stays libcurl's and OpenSSL's: this
// only listens. Lives on Http's worker thread.
class HttpCertificateCheck {
public:
    // `trust` is held for the transfer, which may open connections until its end.
    explicit HttpCertificateCheck(HttpTrustStore::Store trust);

    // libcurl's CURLOPT_SSL_CTX_FUNCTION, with this object as its CURLOPT_SSL_CTX_DATA.
    static int prepareContext(void* curl, void* sslContext, void* self);

    // The faults found in the last handshake of the transfer, in the order seen.
    QStringList faults() const { return *faults_; }

private:
    HttpTrustStore::Store trust_;
    // Shared with the TLS context, which may outlive the transfer in libcurl's connection cache.
    std::shared_ptr<QStringList> faults_;
};
