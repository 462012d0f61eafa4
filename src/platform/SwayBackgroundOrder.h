#pragma once

#include "platform/SwayIpc.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QTimer;

// Keeps the desktop video above the other pictures of sway's background layer. The layer shell
// leaves the order of a layer's surfaces to the compositor, and sway before 1.8 draws the one made
// first on top: swaybg, which sway starts for the `output … bg …` lines of its configuration at
// login, covered every surface the program made later. So once a background surface of ours is
// up, sway is asked to start its background again, as a reload of its configuration does, with
// the very settings it runs with, each output's own: nothing of the user's configuration
// changes, and the pictures, made anew, go below ours. A swaybg the user started apart (an `exec
// swaybg` line) is not ours to restart; then, or when sway refuses, obstacle() says what covers
// the video and what to change, and isCovered() holds until that swaybg is gone.
// Later sways draw the newest surface on top, which ours already is. GUI thread.
class SwayBackgroundOrder : public QObject {
    Q_OBJECT
public:
    // A swaybg process of the session: the arguments it was started with, whether sway started
    // it (it hands its own background the connection, WAYLAND_SOCKET), and when it started, in
    // clock ticks since boot.
    struct Client {
        QStringList arguments;
        bool startedBySway = false;
        qint64 startTicks = 0;
    };

    explicit SwayBackgroundOrder(SwayIpc ipc, QObject* parent = nullptr);

    // A background surface of ours is being made: a swaybg started before it is drawn over it.
    void surfaceMade();
    // A background surface of ours is on screen: sway's background is started again on a later
    // turn, once for every surface made on the same turn.
    void surfaceShown();
    // What covers the desktop video and cannot be moved below it, in words for the user with
    // what to change; nothing when the video shows.
    std::optional<QString> obstacle() const;
    // Whether such a picture covers the surfaces shown, as last seen: checked once sway's
    // background was started again, and every few seconds while it holds.
    bool isCovered() const { return covered_; }

    // The sway command that starts sway's background again with the settings swaybg runs with:
    // a named output's own settings said again, or the wildcard's where no output has its own;
    // nothing when the arguments are not what sway gives it.
    static std::optional<QString> restartCommand(const QStringList& arguments);

Q_SIGNALS:
    void coveredChanged(bool covered);

private:
    // Whether this sway draws the oldest surface of a layer on top (before 1.8).
    bool drawsOldestOnTop() const;
    QList<Client> clients() const;
    void raiseOverBackground();
    void updateCovered();

    SwayIpc ipc_;
    mutable std::optional<int> version_;
    bool raisePending_ = false;
    bool refused_ = false;
    // When the newest surface of ours was made (clock ticks since boot); 0 before the first.
    qint64 newestSurfaceTicks_ = 0;
    bool covered_ = false;
    QTimer* recheck_;
};
