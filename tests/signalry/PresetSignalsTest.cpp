#include "SignalryFixture.h"

#include "signalry/AnyIdentifiableError.h"
#include "signalry/Signalry.h"

#include <QEvent>

#include <stdexcept>

using namespace signalry;

namespace {

class PresetSignalsTest : public SignalryFixture {
protected:
    PresetSignalsTest() : recorder(installRecording()) {}

    RecordingSignalManager::Signal only()
    {
        settle();
        EXPECT_EQ(recorder.recorded.size(), 1);
        return recorder.recorded.isEmpty() ? RecordingSignalManager::Signal{} : recorder.recorded.takeFirst();
    }

    RecordingSignalManager& recorder;
};

TEST_F(PresetSignalsTest, CallersParametersWinOverThePresets)
{
    Signalry::acquiredUser(QStringLiteral("ads"), {{QStringLiteral("Signalry.Acquisition.channel"), QStringLiteral("mine")}},
                           QStringLiteral("user-1"));
    const auto acquired = only();
    EXPECT_EQ(acquired.type, QStringLiteral("Signalry.Acquisition.userAcquired"));
    EXPECT_EQ(acquired.parameters.value(QStringLiteral("Signalry.Acquisition.channel")), QStringLiteral("mine"));
    EXPECT_EQ(acquired.customUserID, QStringLiteral("user-1"));

    Signalry::referralSent(3);
    EXPECT_EQ(only().parameters, (Parameters{{QStringLiteral("Signalry.Referral.receiversCount"), QStringLiteral("3")}}));
}

TEST_F(PresetSignalsTest, RatingsOutsideZeroToTenAreRejected)
{
    Signalry::userRatingSubmitted(10, QStringLiteral("great"));
    const auto rated = only();
    EXPECT_EQ(rated.type, QStringLiteral("Signalry.Referral.userRatingSubmitted"));
    EXPECT_EQ(rated.parameters.value(QStringLiteral("Signalry.Referral.ratingValue")), QStringLiteral("10"));
    EXPECT_EQ(rated.parameters.value(QStringLiteral("Signalry.Referral.ratingComment")), QStringLiteral("great"));

    Signalry::userRatingSubmitted(11);
    Signalry::userRatingSubmitted(-1);
    settle();
    EXPECT_TRUE(recorder.recorded.isEmpty());
    EXPECT_EQ(logLines.count(QStringLiteral("Rating must be between 0 and 10")), 2);
}

TEST_F(PresetSignalsTest, ErrorReportsCarryOnlyWhatWasGiven)
{
    Signalry::errorOccurred(QStringLiteral("E1"));
    EXPECT_EQ(only().parameters, (Parameters{{QStringLiteral("Signalry.Error.id"), QStringLiteral("E1")}}));

    const AnyIdentifiableError wrapped = withId(std::runtime_error("disk full"), QStringLiteral("E2"));
    Signalry::errorOccurred(wrapped, ErrorCategory::appState, Parameters{}, 1.5);
    const auto described = only();
    EXPECT_EQ(described.parameters, (Parameters{{QStringLiteral("Signalry.Error.id"), QStringLiteral("E2")},
                                                {QStringLiteral("Signalry.Error.category"), QStringLiteral("app-state")},
                                                {QStringLiteral("Signalry.Error.message"), QStringLiteral("disk full")}}));
    EXPECT_EQ(described.floatValue, 1.5);

    Signalry::errorOccurred(wrapped, ErrorCategory::userInput, std::optional<QString>());
    EXPECT_FALSE(only().parameters.contains(QStringLiteral("Signalry.Error.message")));
    EXPECT_EQ(errorCategoryFromRawValue(QStringLiteral("user-input")), ErrorCategory::userInput);
    EXPECT_FALSE(errorCategoryFromRawValue(QStringLiteral("User-Input")));
}

TEST_F(PresetSignalsTest, NavigationReportsFromThePreviousDestination)
{
    QObject view;
    Signalry::trackNavigation(&view, QStringLiteral("browse"));
    QEvent show(QEvent::Show);
    QCoreApplication::sendEvent(&view, &show);
    const auto first = only();
    EXPECT_EQ(first.type, QStringLiteral("Signalry.Navigation.pathChanged"));
    EXPECT_EQ(first.parameters.value(QStringLiteral("Signalry.Navigation.identifier")), QStringLiteral(" -> browse"));
    EXPECT_EQ(first.parameters.value(QStringLiteral("Signalry.Navigation.sourcePath")), QString());
    EXPECT_EQ(first.parameters.value(QStringLiteral("Signalry.Navigation.schemaVersion")), QStringLiteral("1"));

    Signalry::navigate(QStringLiteral("detail"));
    EXPECT_EQ(only().parameters.value(QStringLiteral("Signalry.Navigation.identifier")), QStringLiteral("browse -> detail"));
    QEvent hide(QEvent::Hide);
    QCoreApplication::sendEvent(&view, &hide);
    settle();
    EXPECT_TRUE(recorder.recorded.isEmpty());
}

} // namespace
