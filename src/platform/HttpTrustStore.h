#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <mutex>

class QSslCertificate;
struct x509_store_st; // OpenSSL's X509_STORE

// The authorities the program trusts beside those Qt finds on its own: the system's (OpenSSL's
// default locations) and the certificates of the configured CA file, read once into one OpenSSL
// store. File transfers hand it to every new TLS context by reference; Qt's connections, which
// look the system's authorities up one by one as a handshake needs them, ask it only about a
// certificate Qt could not trace to one of those (verifies()). Reading the system's bundle costs
// some 20 ms of CPU; a connection pays only its handshake. Any thread.
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

    // Whether `chain` (the server's certificates, its own first) leads to an authority of
    // `trust` and names `host`, for a server whose certificate is to be used now.
    static bool verifies(const Trust& trust, const QList<QSslCertificate>& chain, const QString& host);

    // The system's bundle of authorities as OpenSSL reads it (SSL_CERT_FILE or its default).
    static QString systemBundle();

private:
    std::mutex mutex_;
    QString caFile_;
    Trust trust_;
};
