#include "platform/HttpTrustStore.h"

#include "support/SystemBundle.h"
#include "support/TestPaths.h"

#include <QSslCertificate>

#include <gtest/gtest.h>

namespace {
QList<QSslCertificate> certificates(const QString& name) { return QSslCertificate::fromPath(TestPaths::dataFile(name)); }
} // namespace

// What Qt's connections put to the store when Qt cannot place a server's certificate: only a
// chain that leads to an authority of the store and names the host asked for passes.
TEST(HttpTrustStoreTest, AServersCertificateMustLeadToAnAuthorityAndNameTheHost)
{
    const QString sample = QStringLiteral("sample-catalogue-cert.pem"); // made out to 127.0.0.1 and localhost
    const QString other = QStringLiteral("other-host-cert.pem");        // made out to other.invalid
    const QString none = QStringLiteral("no-such-file.pem");
    const struct {
        const char* name;
        // Files of the test's data: the system's bundle, the CA file, the server's certificate.
        QString bundle;
        QString caFile;
        QString served;
        QString host;
        bool trusted;
    } cases[] = {
        {"the CA file's authority, by address", none, sample, sample, QStringLiteral("127.0.0.1"), true},
        {"the CA file's authority, by name", none, sample, sample, QStringLiteral("localhost"), true},
        {"the system's authority", sample, other, sample, QStringLiteral("localhost"), true},
        {"another address", none, sample, sample, QStringLiteral("127.0.0.2"), false},
        {"another name", none, sample, sample, QStringLiteral("example.com"), false},
        {"an authority of neither", none, other, sample, QStringLiteral("localhost"), false},
        {"no certificate", none, sample, QString(), QStringLiteral("localhost"), false},
        {"no host", none, sample, sample, QString(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SystemBundle bundle(TestPaths::dataFile(c.bundle));
        HttpTrustStore store;
        const QList<QSslCertificate> chain = c.served.isEmpty() ? QList<QSslCertificate>{} : certificates(c.served);
        EXPECT_EQ(HttpTrustStore::verifies(store.trustFor(TestPaths::dataFile(c.caFile)), chain, c.host), c.trusted);
    }
}
