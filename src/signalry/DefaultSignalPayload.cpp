#include "signalry/DefaultSignalPayload.h"

#include "signalry/Clock.h"
#include "signalry/DefaultsSuite.h"
#include "signalry/SessionManager.h"
#include "signalry/SignalryManager.h"
#include "signalry/SystemFacts.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <cstdlib>

namespace signalry {

namespace {
const QString kPlatform = QStringLiteral("Linux");
const QString kTargetEnvironment = QStringLiteral("native");
const QString kSdkName = QStringLiteral("SwiftSDK");
const QString kSdkVersion = QStringLiteral("2.11.0");
const QString kFalse = QStringLiteral("false");
const QString kTrue = QStringLiteral("true");
const QString kNotAvailable = QStringLiteral("N/A");

QString flagText(bool flag) { return flag ? kTrue : kFalse; }

// What the payload depends on besides the facts read once. The payload is rebuilt only when one
// of these changed; otherwise the signal shares the last one, which costs a reference count.
struct PayloadInputs {
    QDate date;
    int hour = -1;
    int minute = -1;
    int offsetFromUtc = 0;
    bool guiApplication = false;
    bool screenPresent = false;
    QRect screenGeometry;
    qreal screenScale = 0;
    bool dark = false;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    quint64 suiteRevision = 0;
    quint64 sessionsRevision = 0;

    bool operator==(const PayloadInputs& other) const = default;
};

PayloadInputs currentInputs(const QDateTime& local, const DefaultsSuite* suite, const SessionManager& sessions)
{
    PayloadInputs inputs;
    inputs.date = local.date();
    inputs.hour = local.time().hour();
    inputs.minute = local.time().minute();
    inputs.offsetFromUtc = local.offsetFromUtc();
    inputs.guiApplication = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (inputs.guiApplication) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            inputs.screenPresent = true;
            inputs.screenGeometry = screen->geometry();
            inputs.screenScale = screen->devicePixelRatio();
        }
        inputs.dark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
        inputs.direction = QGuiApplication::layoutDirection();
    }
    inputs.suiteRevision = suite ? suite->revision() : 0;
    inputs.sessionsRevision = sessions.revision();
    return inputs;
}

void addScreenAndPreferenceEntries(Parameters& parameters, const PayloadInputs& inputs)
{
    const auto text = [&inputs](double value) { return inputs.screenPresent ? decimalText(value) : kNotAvailable; };
    parameters.insert(QStringLiteral("Signalry.Device.screenResolutionHeight"), text(inputs.screenGeometry.height()));
    parameters.insert(QStringLiteral("Signalry.Device.screenResolutionWidth"), text(inputs.screenGeometry.width()));
    parameters.insert(QStringLiteral("Signalry.Device.screenScaleFactor"), text(inputs.screenScale));
    parameters.insert(QStringLiteral("Signalry.UserPreference.colorScheme"), inputs.dark ? QStringLiteral("Dark") : QStringLiteral("Light"));
    QString direction = kNotAvailable;
    if (inputs.guiApplication)
        direction = inputs.direction == Qt::RightToLeft ? QStringLiteral("rightToLeft") : QStringLiteral("leftToRight");
    parameters.insert(QStringLiteral("Signalry.UserPreference.layoutDirection"), direction);
}
} // namespace

Parameters DefaultSignalPayload::parameters()
{
    // The store receipt and the accessibility domain do not exist here: their groups add only
    // what they add when absent.
    static const Parameters base = baseParameters(SystemFacts::current(), std::nullopt);
    static PayloadInputs lastInputs;
    static Parameters lastPayload;

    const QDateTime now = Clock::current().now();
    const QDateTime local = now.toLocalTime();
    const std::shared_ptr<DefaultsSuite> suite = SignalryManager::analyticsDefaultsSuite();
    const SessionManager& sessions = SessionManager::shared();
    const PayloadInputs inputs = currentInputs(local, suite.get(), sessions);
    if (inputs == lastInputs && !lastPayload.isEmpty())
        return lastPayload;

    Parameters parameters = base;
    addScreenAndPreferenceEntries(parameters, inputs);
    parameters.insert(QStringLiteral("Signalry.Device.timeZone"), timeZoneText(inputs.offsetFromUtc));
    parameters.insert(calendarParameters(local));
    parameters.insert(retentionParameters(suite.get(), sessions, now));
    lastInputs = inputs;
    lastPayload = parameters;
    return parameters;
}

Parameters DefaultSignalPayload::baseParameters(const SystemFacts& facts, const std::optional<QString>& receiptPath)
{
    const QString major = facts.systemName + QLatin1Char(' ') + facts.majorVersion;
    const QString majorMinor = major + QLatin1Char('.') + facts.minorVersion;
    const QString systemVersion = majorMinor + QLatin1Char('.') + facts.patchVersion;
    const StoreFlags store = storeFlags(receiptPath);
    const QString testFlight = flagText(store.isTestFlight);
    const QString appStore = flagText(store.isAppStore);

    return {
        {QStringLiteral("platform"), kPlatform},
        {QStringLiteral("systemVersion"), systemVersion},
        {QStringLiteral("majorSystemVersion"), major},
        {QStringLiteral("majorMinorSystemVersion"), majorMinor},
        {QStringLiteral("appVersion"), facts.appVersion},
        {QStringLiteral("buildNumber"), facts.buildNumber},
        {QStringLiteral("isSimulator"), kFalse},
        {QStringLiteral("isDebug"), kFalse},
        {QStringLiteral("isTestFlight"), testFlight},
        {QStringLiteral("isAppStore"), appStore},
        {QStringLiteral("modelName"), facts.modelName},
        {QStringLiteral("architecture"), facts.architecture},
        {QStringLiteral("operatingSystem"), kPlatform},
        {QStringLiteral("targetEnvironment"), kTargetEnvironment},
        {QStringLiteral("locale"), facts.localeIdentifier},
        {QStringLiteral("region"), facts.region},
        {QStringLiteral("appLanguage"), facts.appLanguage},
        {QStringLiteral("preferredLanguage"), facts.preferredLanguage},
        {QStringLiteral("signalryClientVersion"), kSdkVersion},
        {QStringLiteral("Signalry.AppInfo.buildNumber"), facts.buildNumber},
        {QStringLiteral("Signalry.AppInfo.version"), facts.appVersion},
        {QStringLiteral("Signalry.AppInfo.versionAndBuildNumber"),
         facts.appVersion + QStringLiteral(" (build ") + facts.buildNumber + QLatin1Char(')')},
        {QStringLiteral("Signalry.Device.architecture"), facts.architecture},
        {QStringLiteral("Signalry.Device.modelName"), facts.modelName},
        {QStringLiteral("Signalry.Device.operatingSystem"), kPlatform},
        {QStringLiteral("Signalry.Device.orientation"), QStringLiteral("Fixed")},
        {QStringLiteral("Signalry.Device.platform"), kPlatform},
        {QStringLiteral("Signalry.Device.systemMajorMinorVersion"), majorMinor},
        {QStringLiteral("Signalry.Device.systemMajorVersion"), major},
        {QStringLiteral("Signalry.Device.systemVersion"), systemVersion},
        {QStringLiteral("Signalry.RunContext.isAppStore"), appStore},
        {QStringLiteral("Signalry.RunContext.isDebug"), kFalse},
        {QStringLiteral("Signalry.RunContext.isSimulator"), kFalse},
        {QStringLiteral("Signalry.RunContext.isTestFlight"), testFlight},
        {QStringLiteral("Signalry.RunContext.language"), facts.appLanguage},
        {QStringLiteral("Signalry.RunContext.locale"), facts.localeIdentifier},
        {QStringLiteral("Signalry.RunContext.targetEnvironment"), kTargetEnvironment},
        {QStringLiteral("Signalry.SDK.name"), kSdkName},
        {QStringLiteral("Signalry.SDK.nameAndVersion"), kSdkName + QLatin1Char(' ') + kSdkVersion},
        {QStringLiteral("Signalry.SDK.version"), kSdkVersion},
        {QStringLiteral("Signalry.UserPreference.language"), facts.preferredLanguage},
        {QStringLiteral("Signalry.UserPreference.region"), facts.region},
    };
}

QString DefaultSignalPayload::timeZoneText(int offsetFromUtcSeconds)
{
    const int hours = offsetFromUtcSeconds / 3600;
    const int minutes = offsetFromUtcSeconds / 60 - 60 * (offsetFromUtcSeconds / 60 / 60);
    QString text = QStringLiteral("UTC") + (offsetFromUtcSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QString::number(std::abs(hours));
    if (minutes != 0)
        text += QStringLiteral(":%1").arg(std::abs(minutes), 2, 10, QLatin1Char('0'));
    return text;
}

Parameters DefaultSignalPayload::calendarParameters(const QDateTime& localMoment)
{
    const QDate date = localMoment.date();
    const int dayOfWeek = date.dayOfWeek(); // Monday 1 ... Sunday 7
    return {
        {QStringLiteral("Signalry.Calendar.dayOfMonth"), QString::number(date.day())},
        {QStringLiteral("Signalry.Calendar.dayOfWeek"), QString::number(dayOfWeek)},
        {QStringLiteral("Signalry.Calendar.dayOfYear"), QString::number(date.dayOfYear())},
        {QStringLiteral("Signalry.Calendar.weekOfYear"), QString::number(date.weekNumber())},
        {QStringLiteral("Signalry.Calendar.isWeekend"), flagText(dayOfWeek >= 6)},
        {QStringLiteral("Signalry.Calendar.monthOfYear"), QString::number(date.month())},
        {QStringLiteral("Signalry.Calendar.quarterOfYear"), QString::number((date.month() - 1) / 3 + 1)},
        {QStringLiteral("Signalry.Calendar.hourOfDay"), QString::number(localMoment.time().hour())},
    };
}

Parameters DefaultSignalPayload::retentionParameters(const DefaultsSuite* suite, const SessionManager& sessions, const QDateTime& now)
{
    const QStringList days = suite ? suite->stringList(QStringLiteral("distinctDaysUsed")).value_or(QStringList()) : QStringList();
    std::optional<QString> firstSession = suite ? suite->string(QStringLiteral("firstSessionDate")) : std::nullopt;
    if (!firstSession)
        firstSession = SessionManager::calendarDay(now);
    const qint64 deleted = suite ? suite->integer(QStringLiteral("deletedSessionsCount")).value_or(0) : 0;
    const QList<StoredSession>& recent = sessions.recentSessions();

    Parameters parameters{
        {QStringLiteral("Signalry.Acquisition.firstSessionDate"), *firstSession},
        {QStringLiteral("Signalry.Retention.averageSessionSeconds"), QString::number(sessions.averageSessionSeconds())},
        {QStringLiteral("Signalry.Retention.distinctDaysUsed"), QString::number(days.size())},
        {QStringLiteral("Signalry.Retention.distinctDaysUsedLastMonth"),
         QString::number(SessionManager::countDays(lastMonthCutoffDay(now), days))},
        {QStringLiteral("Signalry.Retention.totalSessionsCount"), QString::number(recent.size() + deleted)},
    };
    if (recent.size() >= 2)
        parameters.insert(QStringLiteral("Signalry.Retention.previousSessionSeconds"),
                          QString::number(recent[recent.size() - 2].durationInSeconds));
    return parameters;
}

QString DefaultSignalPayload::lastMonthCutoffDay(const QDateTime& now)
{
    return SessionManager::calendarDay(now.addSecs(-kLastMonthSeconds));
}

DefaultSignalPayload::StoreFlags DefaultSignalPayload::storeFlags(const std::optional<QString>& receiptPath)
{
    if (!receiptPath)
        return {};
    const bool sandbox = receiptPath->contains(QStringLiteral("sandboxReceipt"));
    return {sandbox, !sandbox};
}

} // namespace signalry
