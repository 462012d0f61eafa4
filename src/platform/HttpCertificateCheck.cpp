#include "platform/HttpCertificateCheck.h"

#include <QSslError>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace {
using Faults = std::shared_ptr<QStringList>;

void freeFaults(void*, void* faults, CRYPTO_EX_DATA*, int, long, void*) { delete static_cast<Faults*>(faults); }

// The slot of a TLS context that holds its transfer's list of faults.
int faultsIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, &freeFaults);
    return index;
}

// OpenSSL's verification results under the names Qt gives them.
QSslError::SslError qtName(int result)
{
    switch (result) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT: return QSslError::UnableToGetIssuerCertificate;
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE: return QSslError::UnableToDecryptCertificateSignature;
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY: return QSslError::UnableToDecodeIssuerPublicKey;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE: return QSslError::CertificateSignatureFailed;
    case X509_V_ERR_CERT_NOT_YET_VALID: return QSslError::CertificateNotYetValid;
    case X509_V_ERR_CERT_HAS_EXPIRED: return QSslError::CertificateExpired;
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD: return QSslError::InvalidNotBeforeField;
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD: return QSslError::InvalidNotAfterField;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT: return QSslError::SelfSignedCertificate;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN: return QSslError::SelfSignedCertificateInChain;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY: return QSslError::UnableToGetLocalIssuerCertificate;
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: return QSslError::UnableToVerifyFirstCertificate;
    case X509_V_ERR_CERT_REVOKED: return QSslError::CertificateRevoked;
    case X509_V_ERR_INVALID_CA: return QSslError::InvalidCaCertificate;
    case X509_V_ERR_PATH_LENGTH_EXCEEDED: return QSslError::PathLengthExceeded;
    case X509_V_ERR_INVALID_PURPOSE: return QSslError::InvalidPurpose;
    case X509_V_ERR_CERT_UNTRUSTED: return QSslError::CertificateUntrusted;
    case X509_V_ERR_CERT_REJECTED: return QSslError::CertificateRejected;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return QSslError::HostNameMismatch;
    default: return QSslError::UnspecifiedError;
    }
}

int noteFault(int ok, X509_STORE_CTX* store)
{
    if (ok)
        return ok;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (auto* faults = ssl ? static_cast<Faults*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), faultsIndex())) : nullptr)
        (*faults)->append(QSslError(qtName(X509_STORE_CTX_get_error(store))).errorString());
    return ok; // the verdict stays OpenSSL's
}
} // namespace

HttpCertificateCheck::HttpCertificateCheck(HttpTrustStore::Store trust)
    : trust_(std::move(trust)), faults_(std::make_shared<QStringList>())
{
}

int HttpCertificateCheck::prepareContext(void*, void* sslContext, void* self)
{
    auto* context = static_cast<SSL_CTX*>(sslContext);
    auto* check = static_cast<HttpCertificateCheck*>(self);
    check->faults_->clear();
    // The context holds a reference of its own: it may outlive the transfer in libcurl's
    // connection cache.
    if (!check->trust_)
        return CURLE_SSL_CACERT_BADFILE;
    SSL_CTX_set1_cert_store(context, check->trust_.get());
    if (!SSL_CTX_set_ex_data(context, faultsIndex(), new Faults(check->faults_)))
        return CURLE_OUT_OF_MEMORY;
    SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), &noteFault);
    return CURLE_OK;
}
