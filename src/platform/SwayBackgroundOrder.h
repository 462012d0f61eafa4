#pragma once

#include "platform/SwayIpc.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// Keeps the desktop video above the other pictures of sway's background layer. The layer shell
// leaves the order of a layer's surfaces to the compositor, and sway before 1.8 draws the one made
// first on top: swaybg, which sway starts for the `output … bg …` line of its stock configuration
// at login, covered every surface the program made later. So once a background surface of ours
// is up, sway is asked to start its background again, as a reload of its configuration does, with
// the very arguments it runs with: nothing of the user's configuration changes, and the picture,
// made anew, goes below ours. A swaybg the user started apart (an `exec swaybg` line) is not ours
// to restart; then, or when sway refuses, obstacle() says what covers the video and what to change.
// Later sways draw the newest surface on top, which ours already is. GUI thread.
class SwayBackgroundOrder : public QObject {
    Q_OBJECT
public:
    // A swaybg process of the session: the arguments it was started with, whether sway started
    // it (it hands its own background the connection, WAYLAND_SOCKET), and whether it started
    // before this program, so that its pictures came before ours.
    struct Client {
        QStringList arguments;
        bool startedBySway = false;
        bool startedFirst = false;
    };

    explicit SwayBackgroundOrder(SwayIpc ipc, QObject* parent = nullptr);

    // A background surface of ours is on screen: sway's background is started again on a later
    // turn, once for every surface made on the same turn.
    void surfaceShown();
    // What covers the desktop video and cannot be moved below it, in words for the user with
    // what to change; nothing when the video shows.
    std::optional<QString> obstacle() const;

    // The sway command that starts sway's background again with the arguments swaybg runs with
    // (its first output's group); nothing when they are not what sway gives it.
    static std::optional<QString> restartCommand(const QStringList& arguments);

private:
    // Whether this sway draws the oldest surface of a layer on top (before 1.8).
    bool drawsOldestOnTop() const;
    QList<Client> clients() const;
    void raiseOverBackground();

    SwayIpc ipc_;
    mutable std::optional<int> version_;
    bool raisePending_ = false;
    bool refused_ = false;
};
