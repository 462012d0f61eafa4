#pragma once

#include "state/NotificationManager.h"
#include "state/SingleFlight.h"

#include <QCoro/QCoroTask>
#include <QObject>

#include <functional>

class UpdateCheckService;
struct UpdateInfo;

// One whole update: the check, then the download and installation shown in the in-app
// notification ("App Update"), ending in the relaunch. One run per process at a time: a caller
// that arrives while a run is under way waits for it and receives its outcome. Downloaded files
// are removed once the installation has ended, however it ended. GUI thread; one shared
// instance.
class UpdateRunner : public QObject {
    Q_OBJECT

public:
    // unreachable: the update feed could not be read, so whether an update exists is unknown.
    enum class Outcome { noUpdate, declined, installed, failed, unreachable };
    // Asked with the update found whether to go on with it; false ends the run as declined.
    using Approval = std::function<bool(const UpdateInfo&)>;

    UpdateRunner(UpdateCheckService& service, NotificationManager& notifications, QObject* parent = nullptr);
    // The shared update service and notification.
    UpdateRunner();

    static UpdateRunner& shared();

    // The enforced check at launch: one run per process. A later call (the home page asks once it
    // shows) waits for that run if it is still under way and receives its outcome.
    QCoro::Task<Outcome> runAtLaunch();
    QCoro::Task<Outcome> run(Approval approval = {});

private:
    QCoro::Task<> runOnce(Approval approval);
    QCoro::Task<Outcome> downloadAndInstall(UpdateInfo info);
    void reportFailure(const std::exception& error, NotificationManager::Ticket toast);

    UpdateCheckService& service_;
    NotificationManager& notifications_;
    SingleFlight flight_;
    Outcome lastOutcome_ = Outcome::noUpdate;
    bool launchRunStarted_ = false;
};
