#include "platform/HttpTrustStore.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509_vfy.h>

namespace {
// The certificates of a PEM file added to `store`; how many were.
int addCertificates(X509_STORE* store, const QString& path)
{
    BIO* file = BIO_new_file(QFile::encodeName(path).constData(), "r");
    int added = 0;
    while (X509* certificate = file ? PEM_read_bio_X509(file, nullptr, nullptr, nullptr) : nullptr) {
        added += X509_STORE_add_cert(store, certificate);
        X509_free(certificate);
    }
    BIO_free(file);
    // The end of the file reads as an error; none may reach the next TLS call on this thread.
    ERR_clear_error();
    return added;
}
} // namespace

HttpTrustStore::Trust HttpTrustStore::trustFor(const QString& caFile)
{
    if (trust_.store && caFile == caFile_)
        return trust_;
    X509_STORE* store = X509_STORE_new();
    if (!store || !X509_STORE_set_default_paths(store)) {
        X509_STORE_free(store);
        ERR_clear_error();
        return {}; // the transfer fails its handshake instead
    }
    ERR_clear_error(); // a missing default location is no fault
    // As libcurl sets its own store: the store's anchors first, and an authority of the CA file
    // trusted even when it is an intermediate one.
    X509_STORE_set_flags(store, X509_V_FLAG_TRUSTED_FIRST | X509_V_FLAG_PARTIAL_CHAIN);
    const bool caFileUsed = !caFile.isEmpty() && addCertificates(store, caFile) > 0;
    caFile_ = caFile;
    trust_ = {Store(store, &X509_STORE_free), caFileUsed};
    return trust_;
}
