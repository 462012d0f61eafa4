#include "signalry/SessionManager.h"

#include "signalry/ApplicationActivity.h"
#include "signalry/Clock.h"
#include "signalry/DefaultsSuite.h"
#include "signalry/SignalryManager.h"

#include <algorithm>
#include <cmath>

namespace signalry {

namespace {
const QString kRecentSessionsKey = QStringLiteral("recentSessions");
const QString kDeletedSessionsCountKey = QStringLiteral("deletedSessionsCount");
const QString kFirstSessionDateKey = QStringLiteral("firstSessionDate");
const QString kDistinctDaysUsedKey = QStringLiteral("distinctDaysUsed");
} // namespace

SessionManager::SessionManager(SuiteLookup suiteLookup, QObject* parent)
    : QObject(parent), suiteLookup_(std::move(suiteLookup)), sessionDurationUpdater_(this)
{
    sessionDurationUpdater_.setInterval(1000);
    connect(&sessionDurationUpdater_, &QTimer::timeout, this, &SessionManager::updateSessionDuration);

    if (const std::shared_ptr<DefaultsSuite> suite = suiteLookup_()) {
        const std::optional<QByteArray> data = suite->data(kRecentSessionsKey);
        const auto stored = data ? StoredSession::decodeList(*data) : std::nullopt;
        if (stored) {
            const QDateTime cutoff = Clock::current().now().addSecs(-kRetentionSeconds);
            for (const StoredSession& session : *stored) {
                if (session.startedAt > cutoff)
                    recentSessions_.append(session);
            }
            const qint64 dropped = stored->size() - recentSessions_.size();
            suite->setInteger(kDeletedSessionsCountKey, suite->integer(kDeletedSessionsCountKey).value_or(0) + dropped);
        }
    }
    updateDistinctDaysUsed();

    connect(&ApplicationActivity::shared(), &ApplicationActivity::didResignActive, this,
            &SessionManager::handleDidEnterBackgroundNotification);
    connect(&ApplicationActivity::shared(), &ApplicationActivity::willBecomeActive, this,
            &SessionManager::handleWillEnterForegroundNotification);
}

SessionManager& SessionManager::shared()
{
    // Kept until exit, like the history it measures.
    static auto* instance = new SessionManager([] { return SignalryManager::analyticsDefaultsSuite(); });
    return *instance;
}

void SessionManager::startNewSession()
{
    stopTimer();
    const QDateTime now = Clock::current().now();
    if (recentSessions_.isEmpty()) {
        const QString today = calendarDay(now);
        if (const std::shared_ptr<DefaultsSuite> suite = suiteLookup_())
            suite->setString(kFirstSessionDateKey, today);
        SignalryManager::deliverSignal(QStringLiteral("Signalry.Acquisition.newInstallDetected"),
                                       {{QStringLiteral("Signalry.Acquisition.firstSessionDate"), today}}, std::nullopt,
                                       std::nullopt);
    }
    currentSessionStartedAt_ = now;
    currentSessionDuration_ = 0.0;
    updateSessionDuration();
    startTimer();
}

void SessionManager::updateSessionDuration()
{
    const double now = Clock::current().monotonicSeconds();
    if (sessionDurationLastUpdatedAt_)
        currentSessionDuration_ += std::max(0.0, now - *sessionDurationLastUpdatedAt_);
    sessionDurationLastUpdatedAt_ = now;
    persistCurrentSession();
}

void SessionManager::handleDidEnterBackgroundNotification()
{
    // Before the first session there is nothing to measure.
    if (!sessionStarted())
        return;
    updateSessionDuration();
    stopTimer();
}

void SessionManager::handleWillEnterForegroundNotification()
{
    if (!sessionStarted())
        return;
    updateSessionDuration();
    // There is only one timer: restarting it never leaves an earlier one counting in the
    // background.
    startTimer();
}

qint64 SessionManager::averageSessionSeconds() const
{
    if (recentSessions_.isEmpty())
        return -1;
    if (recentSessions_.size() == 1)
        return recentSessions_.first().durationInSeconds;
    qint64 sum = 0;
    for (qsizetype i = 0; i + 1 < recentSessions_.size(); ++i)
        sum += recentSessions_[i].durationInSeconds;
    return sum / (recentSessions_.size() - 1);
}

qsizetype SessionManager::countDays(const QString& cutoff, const QStringList& days)
{
    return std::count_if(days.cbegin(), days.cend(), [&cutoff](const QString& day) { return day >= cutoff; });
}

QString SessionManager::calendarDay(const QDateTime& moment) { return moment.toLocalTime().date().toString(Qt::ISODate); }

void SessionManager::updateDistinctDaysUsed()
{
    const std::shared_ptr<DefaultsSuite> suite = suiteLookup_();
    if (!suite)
        return;
    const QString today = calendarDay(Clock::current().now());
    QStringList days = suite->stringList(kDistinctDaysUsedKey).value_or(QStringList());
    if (!days.isEmpty() && days.last() == today)
        return;
    days.append(today);
    suite->setStringList(kDistinctDaysUsedKey, days);
}

void SessionManager::persistCurrentSession()
{
    if (currentSessionDuration_ < 1.0)
        return;
    const auto seconds = static_cast<qint64>(std::trunc(currentSessionDuration_));
    auto running = std::find_if(recentSessions_.rbegin(), recentSessions_.rend(),
                                [this](const StoredSession& session) { return session.startedAt == currentSessionStartedAt_; });
    if (running != recentSessions_.rend())
        running->durationInSeconds = seconds;
    else
        recentSessions_.append({currentSessionStartedAt_, seconds});
    ++revision_;
    if (const std::shared_ptr<DefaultsSuite> suite = suiteLookup_())
        suite->setData(kRecentSessionsKey, StoredSession::encodeList(recentSessions_), DefaultsSuite::Write::Lazily);
}

void SessionManager::stopTimer()
{
    sessionDurationUpdater_.stop();
    sessionDurationLastUpdatedAt_.reset();
}

void SessionManager::startTimer() { sessionDurationUpdater_.start(); }

} // namespace signalry
