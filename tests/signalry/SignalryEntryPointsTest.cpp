#include "SignalryFixture.h"

#include "signalry/DefaultsSuite.h"
#include "signalry/Signalry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

using namespace signalry;

namespace {

// Collects Qt's messages while alive: the standard log handler writes there.
class QtMessages {
public:
    QtMessages() { previous_ = qInstallMessageHandler(&QtMessages::collect); }
    ~QtMessages() { qInstallMessageHandler(previous_); }
    static QStringList& lines()
    {
        static QStringList collected;
        return collected;
    }

private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& message) { lines().append(message); }
    QtMessageHandler previous_;
};

class SignalryEntryPointsTest : public SignalryFixture {
protected:
    const QString reservedPrefixWarning = QStringLiteral("reserved prefix 'Signalry.'");
};

TEST_F(SignalryEntryPointsTest, SignalsBeforeInitializeAreDroppedWithoutBuildingAManager)
{
    // Signals saved by the last run must stay on disk for the real manager.
    QDir().mkpath(QFileInfo(cacheFile()).absolutePath());
    QFile saved(cacheFile());
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
    saved.write("[]");
    saved.close();

    QtMessages messages;
    QtMessages::lines().clear();
    Signalry::signal(QStringLiteral("Early"));
    Signalry::acquiredUser(QStringLiteral("ads"));
    settle();
    EXPECT_FALSE(SignalryManager::isInitialized());
    EXPECT_TRUE(QtMessages::lines().contains(QStringLiteral("Signalry is not initialized, dropping signal Early")));
    EXPECT_TRUE(QtMessages::lines().contains(QStringLiteral("Signalry is not initialized, dropping signal Signalry.Acquisition.userAcquired")));
    EXPECT_TRUE(QFile::exists(cacheFile()));
}

TEST_F(SignalryEntryPointsTest, PrefixesApplyToSignalButNotToInternalSends)
{
    auto configuration = makeConfiguration();
    configuration->setDefaultSignalPrefix(QStringLiteral("App."));
    configuration->setDefaultParameterPrefix(QStringLiteral("My."));
    RecordingSignalManager& recorder = installRecording(configuration);

    Signalry::signal(QStringLiteral("Opened"),
                     {{QStringLiteral("color"), QStringLiteral("red")}, {QStringLiteral("Signalry.Device.platform"), QStringLiteral("x")}},
                     2.5, QStringLiteral("someone"));
    Signalry::onboardingCompleted({{QStringLiteral("step"), QStringLiteral("3")}});
    settle();

    ASSERT_EQ(recorder.recorded.size(), 2);
    const auto& opened = recorder.recorded[0];
    EXPECT_EQ(opened.type, QStringLiteral("App.Opened"));
    EXPECT_EQ(opened.parameters, (Parameters{{QStringLiteral("My.color"), QStringLiteral("red")},
                                             {QStringLiteral("Signalry.Device.platform"), QStringLiteral("x")}}));
    EXPECT_EQ(opened.floatValue, 2.5);
    EXPECT_EQ(opened.customUserID, QStringLiteral("someone"));
    EXPECT_EQ(recorder.recorded[1].type, QStringLiteral("Signalry.Activation.onboardingCompleted"));
    EXPECT_EQ(recorder.recorded[1].parameters.value(QStringLiteral("step")), QStringLiteral("3"));
}

TEST_F(SignalryEntryPointsTest, ReservedNamesWarnButAreStillSent)
{
    RecordingSignalManager& recorder = installRecording();
    Signalry::signal(QStringLiteral("SIGNALRY.Custom"),
                     {{QStringLiteral("Platform"), QStringLiteral("a")}, {QStringLiteral("signalry.mine"), QStringLiteral("b")}});
    Signalry::signal(QStringLiteral("appVersion"));
    settle();

    EXPECT_EQ(recorder.recorded.size(), 2);
    EXPECT_EQ(logLines.count(QStringLiteral("Sending signal with reserved prefix 'Signalry.' will cause unexpected behavior. "
                                            "Please use another prefix instead.")),
              1);
    EXPECT_TRUE(logLines.contains(QStringLiteral("Sending parameter with reserved key 'Platform' will cause unexpected behavior. "
                                                 "Please use another key instead.")));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Sending parameter with reserved key prefix 'Signalry.'")));
    EXPECT_TRUE(logLines.contains(QStringLiteral("Sending signal with reserved name 'appVersion' will cause unexpected behavior. "
                                                 "Please use another name instead.")));
}

TEST_F(SignalryEntryPointsTest, DefaultParametersGoUnderTheCallsAndAreAlwaysChecked)
{
    auto configuration = makeConfiguration();
    configuration->setReservedParameterWarningsEnabled(false);
    configuration->setDefaultParameters([] {
        return Parameters{{QStringLiteral("type"), QStringLiteral("default")}, {QStringLiteral("shared"), QStringLiteral("default")}};
    });
    RecordingSignalManager& recorder = installRecording(configuration);

    Signalry::signal(QStringLiteral("Opened"), {{QStringLiteral("shared"), QStringLiteral("call")}});
    Signalry::signal(QStringLiteral("Closed"), {{QStringLiteral("type"), QStringLiteral("call")}});
    settle();

    ASSERT_EQ(recorder.recorded.size(), 2);
    EXPECT_EQ(recorder.recorded[0].parameters.value(QStringLiteral("shared")), QStringLiteral("call"));
    EXPECT_EQ(recorder.recorded[0].parameters.value(QStringLiteral("type")), QStringLiteral("default"));
    EXPECT_EQ(recorder.recorded[1].parameters.value(QStringLiteral("type")), QStringLiteral("call"));
    // One warning per signal, both from the default parameter, none from the call's.
    EXPECT_EQ(logLines.count(QStringLiteral("reserved key 'type'")), 2);
}

TEST_F(SignalryEntryPointsTest, DisabledOrPreviewSendsNothingNotEvenASessionStart)
{
    auto configuration = makeConfiguration();
    configuration->setSendNewSessionBeganSignal(true);
    configuration->setAnalyticsDisabled(true);
    RecordingSignalManager& recorder = installRecording(configuration);
    Signalry::signal(QStringLiteral("Opened"));
    Signalry::generateNewSession();
    configuration->setAnalyticsDisabled(false);
    configuration->setSwiftUIPreviewMode(true);
    Signalry::signal(QStringLiteral("Opened"));
    settle();
    EXPECT_TRUE(recorder.recorded.isEmpty());
}

TEST_F(SignalryEntryPointsTest, InstalledManagerStartsItsSessionHalfASecondLater)
{
    auto configuration = makeConfiguration();
    configuration->setSendNewSessionBeganSignal(true);
    const QUuid initial = configuration->sessionID();
    RecordingSignalManager& recorder = installRecording(configuration);
    settle();
    EXPECT_TRUE(recorder.recorded.isEmpty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.recorded.isEmpty(); }, 5'000));
    EXPECT_EQ(recorder.recorded[0].type, QStringLiteral("Signalry.Session.started"));
    EXPECT_TRUE(recorder.recorded[0].parameters.isEmpty());
    EXPECT_NE(configuration->sessionID(), initial);
}

TEST_F(SignalryEntryPointsTest, TheDefaultsSuiteIsNamedAfterTheEndOfTheAppIDsDigest)
{
    installRecording();
    const std::shared_ptr<DefaultsSuite> suite = SignalryManager::analyticsDefaultsSuite();
    ASSERT_TRUE(suite);
    suite->setString(QStringLiteral("firstSessionDate"), QStringLiteral("2025-03-02"));
    suite->waitForPendingWrites();
    // The SHA-256 digest of kAppID ends in fec96b6c17b4.
    EXPECT_EQ(QDir(StorageLocations::defaultsFolder()).entryList(QDir::Files),
        QStringList{QStringLiteral("com.signalry.fec96b6c17b4.json")});
}

TEST_F(SignalryEntryPointsTest, ImmediateSyncAtMostOncePerTenSeconds)
{
    RecordingSignalManager& recorder = installRecording();
    Signalry::requestImmediateSync();
    Signalry::requestImmediateSync();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.sendRequests > 0; }, 5'000));
    QTest::qWait(100);
    EXPECT_EQ(recorder.sendRequests, 1);
}

TEST_F(SignalryEntryPointsTest, DurationSignalCarriesMeasuredAndGivenParameters)
{
    RecordingSignalManager& recorder = installRecording();
    Signalry::startDurationSignal(QStringLiteral("Load"), {{QStringLiteral("from"), QStringLiteral("start")},
                                                           {QStringLiteral("both"), QStringLiteral("start")}});
    Signalry::stopAndSendDurationSignal(QStringLiteral("Load"), {{QStringLiteral("both"), QStringLiteral("stop")}}, 4.0);
    Signalry::startDurationSignal(QStringLiteral("Cancelled"));
    Signalry::cancelDurationSignal(QStringLiteral("Cancelled"));
    Signalry::stopAndSendDurationSignal(QStringLiteral("Cancelled"));
    settle();

    ASSERT_EQ(recorder.recorded.size(), 1);
    const auto& load = recorder.recorded[0];
    EXPECT_EQ(load.type, QStringLiteral("Load"));
    EXPECT_EQ(load.floatValue, 4.0);
    EXPECT_EQ(load.parameters.value(QStringLiteral("from")), QStringLiteral("start"));
    EXPECT_EQ(load.parameters.value(QStringLiteral("both")), QStringLiteral("stop"));
    EXPECT_TRUE(load.parameters.contains(QStringLiteral("Signalry.Signal.durationInSeconds")));
}

} // namespace
