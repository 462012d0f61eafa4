#include "SampleCatalogueFixture.h"

#include "platform/Http.h"
#include "TestPaths.h"

#include <QTest>

#include <gtest/gtest.h>

SampleCatalogueFixture::SampleCatalogueFixture() : SampleCatalogueFixture(testOptions()) {}

SampleCatalogueFixture::SampleCatalogueFixture(samplecatalogue::SampleCatalogue::Options options) : server_(std::move(options))
{
    if (!server_.start()) {
        ADD_FAILURE() << "the sample catalogue did not start: " << server_.errorString().toStdString();
        return;
    }
    config_.backendBaseUrl = QUrl(server_.backendUrl());
    config_.backendKey = server_.options().bearerKey;
    config_.caCertificateFile = certificateFile();
    config_.analyticsUrl = QUrl(server_.baseUrl());
    config_.updateFeedUrl = QUrl(server_.baseUrl() + QStringLiteral("/appcast.xml"));
    override_ = std::make_unique<Shared<Config>::Override>(config_);
}

SampleCatalogueFixture::~SampleCatalogueFixture()
{
    override_.reset();
    server_.stop();
}

QString SampleCatalogueFixture::sharedMediaFolder()
{
    const QString configured = qEnvironmentVariable("QUORVELLE_SAMPLE_MEDIA_DIR");
    return configured.isEmpty() ? TestPaths::sampleMediaFolder() : configured;
}

samplecatalogue::SampleCatalogue::Options SampleCatalogueFixture::testOptions()
{
    samplecatalogue::SampleCatalogue::Options options;
    options.certificateFile = TestPaths::dataFile(QStringLiteral("sample-catalogue-cert.pem"));
    options.privateKeyFile = TestPaths::dataFile(QStringLiteral("sample-catalogue-key.pem"));
    options.mediaFolder = sharedMediaFolder();
    return options;
}

testing::AssertionResult SampleCatalogueFixture::endlessRepliesCutOff()
{
    if (!QTest::qWaitFor([&] { return server_.endlessRepliesEnded() > 0; }, 60'000))
        return testing::AssertionFailure() << "no endless reply ended";
    const size_t longest = server_.longestEndlessReply();
    if (longest >= size_t(3 * Http::kDefaultMaxBodyBytes))
        return testing::AssertionFailure() << "an endless reply sent " << longest << " bytes";
    return testing::AssertionSuccess();
}
