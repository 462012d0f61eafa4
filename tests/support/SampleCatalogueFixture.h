#pragma once

#include "foundation/Config.h"
#include "foundation/Shared.h"

#include <sample-catalogue/SampleCatalogue.h>

#include <QString>

#include <gtest/gtest.h>

#include <memory>

// A sample catalogue running in-process on a free port with the test certificate, and the
// application's Config pointed at it (backend URL, bearer key, CA file, analytics and update
// feed) while the fixture lives. Media go to a folder kept across test runs, so a file is drawn
// once per build. A start failure is reported as a test failure; check isRunning().
class SampleCatalogueFixture {
public:
    SampleCatalogueFixture();
    explicit SampleCatalogueFixture(samplecatalogue::SampleCatalogue::Options options);
    ~SampleCatalogueFixture();

    bool isRunning() const { return server_.isRunning(); }
    samplecatalogue::SampleCatalogue& server() { return server_; }
    const Config& config() const { return config_; }
    QString certificateFile() const { return server_.options().certificateFile; }

    // Turns the event loop until a reply of an `endless` fault has ended, then tells whether
    // every one that ended was left by the client soon after the default bound on a reply
    // (less than three times it went out), not at the server's own end of 1 GiB.
    testing::AssertionResult endlessRepliesCutOff();

    // QUORVELLE_SAMPLE_MEDIA_DIR when set, else a folder in the build tree.
    static QString sharedMediaFolder();
    // The options the default constructor uses: the test certificate and the shared media.
    static samplecatalogue::SampleCatalogue::Options testOptions();

private:
    samplecatalogue::SampleCatalogue server_;
    Config config_;
    std::unique_ptr<Shared<Config>::Override> override_;
};
