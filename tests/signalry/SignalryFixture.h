#pragma once

#include "LogLines.h"
#include "RecordingSignalManager.h"

#include "signalry/NavigationStatus.h"
#include "signalry/SignalryManager.h"
#include "signalry/SignalryManagerConfiguration.h"
#include "signalry/StorageLocations.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

inline const QString kAppID = QStringLiteral("4B1C8D4E-3A4F-4C53-9E55-2F1A6B7C8D90");

// Every test of the client gets its own folders, a configuration that logs into `logLines`, and
// no manager left behind. Session starts are off unless a test turns them on, so they never add
// signals a test did not send.
class SignalryFixture : public ::testing::Test {
protected:
    SignalryFixture() : locations_(folder_.path()) { signalry::NavigationStatus::reset(); }
    ~SignalryFixture() override
    {
        signalry::SignalryManager::terminate();
        QCoreApplication::processEvents();
    }

    std::shared_ptr<signalry::SignalryManagerConfiguration> makeConfiguration(const QUrl& baseUrl = {},
                                                                              std::optional<QString> namespaceName = std::nullopt)
    {
        auto configuration = std::make_shared<signalry::SignalryManagerConfiguration>(
            kAppID, QStringLiteral("pepper"), baseUrl.isEmpty() ? std::nullopt : std::optional<QUrl>(baseUrl), namespaceName);
        configuration->setLogHandler(logLines.handler());
        configuration->setSendNewSessionBeganSignal(false);
        configuration->setSessionStatsEnabled(false);
        return configuration;
    }

    // Trusts the test server's authority, and no other.
    static void trustOnly(signalry::SignalryManagerConfiguration& configuration, const QString& authorityFile)
    {
        QSslConfiguration tls = configuration.sslConfiguration();
        tls.setCaCertificates(QSslCertificate::fromPath(authorityFile));
        configuration.setSslConfiguration(tls);
    }

    // Installs a manager whose signal manager only records; returns the recorder.
    RecordingSignalManager& installRecording(std::shared_ptr<signalry::SignalryManagerConfiguration> configuration = nullptr)
    {
        auto recorder = std::make_unique<RecordingSignalManager>();
        RecordingSignalManager& recording = *recorder;
        signalry::SignalryManager::install(std::make_shared<signalry::SignalryManager>(
            configuration ? configuration : makeConfiguration(), std::move(recorder)));
        return recording;
    }

    // Lets the queued hand-overs to the GUI thread run.
    static void settle() { QCoreApplication::processEvents(); }

    QString cacheFile() const { return folder_.filePath(QStringLiteral("caches/signalrysignalcache")); }

    LogLines logLines;

private:
    QTemporaryDir folder_;
    signalry::StorageLocations::Override locations_;
};
