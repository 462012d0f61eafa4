#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// sway's command socket ($SWAYSOCK): a request and its answer, the i3 way ("i3-ipc", the
// payload's length and type, then the payload). Each call opens the socket, asks and waits for
// the answer: the compositor answers at once, so the GUI thread waits no longer than a round
// trip to it; a compositor that does not answer within a second counts as none.
class SwayIpc {
public:
    // The session's socket, from SWAYSOCK; an empty path when sway is not the compositor.
    explicit SwayIpc(QString socketPath);
    // SWAYSOCK, or, when the program was started without it (from a login script, a launcher
    // that clears it), the socket of the sway at the other end of the Wayland connection `fd`.
    static SwayIpc ofSession(int waylandFd = -1);

    bool isAvailable() const { return !socketPath_.isEmpty(); }
    QString socketPath() const { return socketPath_; }

    // The compositor's version as major * 100 + minor (1.7: 107); nothing when it does not answer.
    std::optional<int> version() const;
    // Runs one command line; false when sway did not run it.
    bool runCommand(const QString& command) const;

private:
    enum class Type : quint32 { runCommand = 0, getVersion = 7 };
    std::optional<QByteArray> request(Type type, const QByteArray& payload) const;

    QString socketPath_;
};
