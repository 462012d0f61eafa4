#include "platform/HttpTrustStore.h"

#include "foundation/Log.h"

#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

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

using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

Certificate fromQt(const QSslCertificate& certificate)
{
    const QByteArray der = certificate.toDer();
    const auto* bytes = reinterpret_cast<const unsigned char*>(der.constData());
    return Certificate(d2i_X509(nullptr, &bytes, der.size()), &X509_free);
}
} // namespace

HttpTrustStore::Trust HttpTrustStore::trustFor(const QString& caFile)
{
    std::lock_guard lock(mutex_);
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
    if (!caFile.isEmpty() && !caFileUsed)
        logLine(QStringLiteral("⚠️"), QStringLiteral("Http"), QStringLiteral("No certificate could be read from the CA file ") + caFile);
    caFile_ = caFile;
    trust_ = {Store(store, &X509_STORE_free), caFileUsed};
    return trust_;
}

bool HttpTrustStore::verifies(const Trust& trust, const QList<QSslCertificate>& chain, const QString& host)
{
    if (!trust.store || chain.isEmpty() || host.isEmpty())
        return false;
    std::vector<Certificate> held;
    for (const QSslCertificate& certificate : chain) {
        held.push_back(fromQt(certificate));
        if (!held.back())
            return false;
    }
    const auto freeStack = [](STACK_OF(X509) * stack) { sk_X509_free(stack); };
    const std::unique_ptr<STACK_OF(X509), decltype(freeStack)> untrusted(sk_X509_new_null(), freeStack);
    const std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(), &X509_STORE_CTX_free);
    if (!untrusted || !context)
        return false;
    for (std::size_t i = 1; i < held.size(); ++i)
        sk_X509_push(untrusted.get(), held[i].get());
    bool verified = false;
    if (X509_STORE_CTX_init(context.get(), trust.store.get(), held.front().get(), untrusted.get())) {
        X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
        X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
        const QByteArray name = host.toUtf8();
        const bool named = QHostAddress(host).isNull() ? X509_VERIFY_PARAM_set1_host(parameters, name.constData(), name.size())
                                                       : X509_VERIFY_PARAM_set1_ip_asc(parameters, name.constData());
        verified = named && X509_verify_cert(context.get()) == 1;
    }
    ERR_clear_error();
    return verified;
}

QString HttpTrustStore::systemBundle()
{
    const QString named = qEnvironmentVariable(X509_get_default_cert_file_env());
    return named.isEmpty() ? QFile::decodeName(X509_get_default_cert_file()) : named;
}
