#pragma once

#include <QStringList>

#include <memory>

// Gives a libcurl transfer's TLS context the system's certificate authorities (OpenSSL's default
// locations, which Qt trusts too), and names what was wrong with a refused certificate in the
// words Qt's own TLS uses, so it reads the same on every transfer. The verdict stays libcurl's
// and OpenSSL's: this only listens. Lives on Http's worker thread.
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
