#pragma once

#include "updater/UpdateRunner.h"

#include <QObject>
#include <QPointer>

class UserDriverDelegate;

// The update framework's standard controller, our own small stand-in. Its user interface is the
// application's update run in the in-app notification: a check the user asks for shows (and
// installs) any newer version after telling the user-driver delegate; a scheduled check, made
// once when the controller starts the updater, shows one only when the delegate agrees.
// GUI thread; owned by the application delegate.
class UpdaterController : public QObject {
    Q_OBJECT

public:
    // `userDriverDelegate` may be null and must outlive the controller.
    UpdaterController(bool startingUpdater, UserDriverDelegate* userDriverDelegate,
        UpdateRunner& runner = UpdateRunner::shared(), QObject* parent = nullptr);

    // Starts a scheduled check on the next turn of the event loop.
    void startUpdater();
    // Starts a user-visible check, as the menu's command does.
    void checkForUpdates();

    // The check itself, for callers that wait for its outcome.
    QCoro::Task<UpdateRunner::Outcome> check(bool userInitiated);

private:
    // A check started without a caller to wait for it.
    static QCoro::Task<> checkQuietly(QPointer<UpdaterController> self, bool userInitiated);
    bool approve(const UpdateInfo& update, bool userInitiated) const;

    UserDriverDelegate* userDriverDelegate_;
    UpdateRunner& runner_;
};
