#pragma once

#include "ManualDelays.h"
#include "foundation/Shared.h"
#include "platform/ProcessRunner.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"
#include "updater/UpdateCheckService.h"

#include <QString>

#include <gtest/gtest.h>

#include <memory>

// The updater on a temporary home: the running application is version "1.2" of a bundle
// installed at ~/Applications/Quorvelle.app (label "old"), the update feed and packages come
// from a sample catalogue serving served(), the disk-image tool is the one built with the tests,
// termination is only counted, and delays are driven by the test.
class UpdaterFixture : public ::testing::Test {
public:
    static constexpr int kProgramWaitMs = 20'000;

    UpdaterFixture();

    QString applications() const { return temp_.file(QStringLiteral("home/Applications")); }
    QString installedBundle() const { return applications() + QStringLiteral("/Quorvelle.app"); }
    QString served() const { return served_; }
    // The file a bundle's program writes its label into when it runs.
    QString marker() const { return temp_.file(QStringLiteral("program-ran")); }
    QString work(const QString& name) const { return temp_.file(QStringLiteral("work/") + name); }

    // The environment of service(); a test may change it before the first call of service().
    UpdateCheckService::Environment& environment() { return environment_; }
    UpdateCheckService& service();
    // The service goes, as it does when the application quits.
    void discardService() { service_.reset(); }

    // Feeds: an item offering `version` from `package` (a file name under /updates/).
    void serveFeed(const QString& version, const QString& package);
    void serveFeedText(const QByteArray& feed);

    // A bundle labelled `label` packed as `kind` ("dmg", "zip" or "app") and served as
    // `fileName`; the bundle in the package is named `bundleName`.
    void servePackage(const QString& kind, const QString& fileName, const QString& label,
        const QString& bundleName = QStringLiteral("Quorvelle.app"));
    // The same package built into work/ instead, for installing without a download.
    QString buildPackage(const QString& kind, const QString& fileName, const QString& label,
        const QString& bundleName = QStringLiteral("Quorvelle.app"));

    // "bash" becomes a script that only records its arguments, one a line, in shellArguments().
    void recordShell();
    QStringList shellArguments(int waitMs = kProgramWaitMs) const;
    QString waitForProgram(int waitMs = kProgramWaitMs) const;

    // Hidden leftovers (staging or previous bundles) next to the installed bundle, and mount
    // or extraction folders in the updater's working folder.
    QStringList leftovers() const;

protected:
    TempFolder temp_;
    QString served_;
    SampleCatalogueFixture catalogue_;
    ProcessRunner runner_;
    Shared<ProcessRunner>::Override runnerOverride_{runner_};
    ManualDelays delays_;
    int terminations_ = 0;

private:
    UpdateCheckService::Environment environment_;
    std::unique_ptr<UpdateCheckService> service_;
};
