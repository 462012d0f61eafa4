#pragma once

#include <QString>

#include <memory>

struct x509_store_st; // OpenSSL's X509_STORE

// The authorities a file transfer's TLS trusts: the system's (OpenSSL's default locations, which
// Qt reads too) and the certificates of the configured CA file, read once into one OpenSSL store
// that every new TLS context holds by reference. Reading the system's bundle costs tens of ms of
// CPU; a connection pays only its handshake. Lives on Http's worker thread, owned by HttpWorker.
class HttpTrustStore {
public:
    using Store = std::shared_ptr<x509_store_st>;
    struct Trust {
        Store store;
        // Whether the CA file gave a certificate: one that gives none adds nothing, as with Qt.
        bool caFileUsed = false;
    };

    // The trust for `caFile` (empty for none): built at the first call, and again only when
    // another file is asked for. A store handed out lives on while anything holds it.
    Trust trustFor(const QString& caFile);

private:
    QString caFile_;
    Trust trust_;
};
