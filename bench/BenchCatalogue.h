#pragma once

#include "foundation/Config.h"
#include "foundation/Shared.h"

#include <sample-catalogue/SampleCatalogue.h>

#include <cstdio>
#include <functional>
#include <memory>

// A sample catalogue on a free port with the test certificate (media in
// QUORVELLE_SAMPLE_MEDIA_DIR when set), and the application's Config pointed at it while alive.
// `adjust` changes the options before the start (another seed, another media folder).
class BenchCatalogue {
public:
    using Options = samplecatalogue::SampleCatalogue::Options;

    BenchCatalogue(const QString& testData, const char* bench, const std::function<void(Options&)>& adjust = {})
        : catalogue_(options(testData, adjust))
    {
        if (!catalogue_.start()) {
            std::fprintf(stderr, "%s: %s\n", bench, qPrintable(catalogue_.errorString()));
            return;
        }
        config_.backendBaseUrl = QUrl(catalogue_.backendUrl());
        config_.backendKey = catalogue_.options().bearerKey;
        config_.caCertificateFile = catalogue_.options().certificateFile;
        override_ = std::make_unique<Shared<Config>::Override>(config_);
    }

    bool isRunning() const { return catalogue_.isRunning(); }
    samplecatalogue::SampleCatalogue& server() { return catalogue_; }
    const Config& config() const { return config_; }

private:
    static Options options(const QString& testData, const std::function<void(Options&)>& adjust)
    {
        Options made;
        made.certificateFile = testData + QStringLiteral("/sample-catalogue-cert.pem");
        made.privateKeyFile = testData + QStringLiteral("/sample-catalogue-key.pem");
        if (const QString media = qEnvironmentVariable("QUORVELLE_SAMPLE_MEDIA_DIR"); !media.isEmpty())
            made.mediaFolder = media;
        if (adjust)
            adjust(made);
        return made;
    }

    samplecatalogue::SampleCatalogue catalogue_;
    Config config_;
    std::unique_ptr<Shared<Config>::Override> override_;
};
