#pragma once

#include "signalry/StoredSession.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace signalry {

class DefaultsSuite;

// Keeps the usage history behind the retention figures of every signal: the sessions of the
// last 90 days with their active seconds, how many aged out, the calendar days of use and the
// first session's day, all in the analytics defaults suite. The running session's active time
// grows once a second while the application is active and goes into the suite each time, which
// writes it to disk lazily, so an idle application does not touch the disk; inactive time is
// never counted. Reports a new install once. Lives on the GUI thread.
class SessionManager : public QObject {
    Q_OBJECT

public:
    // How the suite is found each time it is read or written; nothing while the client is not
    // initialised.
    using SuiteLookup = std::function<std::shared_ptr<DefaultsSuite>()>;

    static constexpr qint64 kRetentionSeconds = 7'776'000; // 90 days

    explicit SessionManager(SuiteLookup suiteLookup, QObject* parent = nullptr);
    static SessionManager& shared();

    void startNewSession();
    void updateSessionDuration();
    void handleDidEnterBackgroundNotification();
    void handleWillEnterForegroundNotification();

    // -1 without sessions; the one session's length; else the mean of all but the running one.
    qint64 averageSessionSeconds() const;
    const QList<StoredSession>& recentSessions() const { return recentSessions_; }
    double currentSessionDuration() const { return currentSessionDuration_; }
    // Changes whenever the recent sessions change.
    quint64 revision() const { return revision_; }

    // How many of `days` are equal to `cutoff` or sort after it.
    static qsizetype countDays(const QString& cutoff, const QStringList& days);
    // The ISO 8601 calendar day ("2026-12-06") of `moment` in the local time zone.
    static QString calendarDay(const QDateTime& moment);

private:
    void updateDistinctDaysUsed();
    void persistCurrentSession();
    void stopTimer();
    void startTimer();
    bool sessionStarted() const { return currentSessionStartedAt_.isValid(); }

    const SuiteLookup suiteLookup_;
    QList<StoredSession> recentSessions_;
    QDateTime currentSessionStartedAt_;
    double currentSessionDuration_ = 0.0;
    QTimer sessionDurationUpdater_;
    // Monotonic seconds; absent while paused.
    std::optional<double> sessionDurationLastUpdatedAt_;
    quint64 revision_ = 0;
};

} // namespace signalry
