#pragma once

#include <QStringList>

#include <memory>

// Names what was wrong with a server's certificate in a libcurl transfer, in the words Qt's own
// TLS uses, so a refused certificate reads the same on every transfer. Verification itself
// stays libcurl's and OpenSSL's: this only listens. Lives on Http's worker thread.
class HttpCertificateCheck {
public:
    HttpCertificateCheck();

    // libcurl's CURLOPT_SSL_CTX_FUNCTION, with this object as its CURLOPT_SSL_CTX_DATA.
    static int prepareContext(void* curl, void* sslContext, void* self);

    // The faults found in the last handshake of the transfer, in the order seen.
    QStringList faults() const { return *faults_; }

private:
    // Shared with the TLS context, which may outlive the transfer in libcurl's connection cache.
    std::shared_ptr<QStringList> faults_;
};
