#pragma once

#include "engine/DesktopClaim.h"

#include <QPointer>
#include <QString>

#include <exception>
#include <memory>
#include <optional>

class MenuBarManager;
class NotificationManager;

// One run of a tray-menu pipeline (re-apply, apply of a recent wallpaper): its place among the
// runs, its claim on every display and the in-app toast it reports in. Runs may overlap; the
// newest run started owns the toast, and the newest choice of each display (from the tray or any
// other surface) owns that display, so a slow download for an earlier choice never replaces a
// later one; nor does the run write into a toast that someone else showed after its own. Shown
// over by another toast (an import, an upload), the run's toast waits and comes back with its
// end, unless a newer choice replaced the run by then; once replaced on every display, the run's
// toast and failures say nothing more. A value copied into the run's task.
// GUI thread.
class MenuPipelineRun {
public:
    // `shownToast`: the toast the manager's runs opened last, shared by all of them.
    MenuPipelineRun(QPointer<MenuBarManager> manager, QPointer<NotificationManager> toast, quint64 ticket, DesktopClaim claim,
                    std::shared_ptr<quint64> shownToast);

    MenuBarManager* manager() const { return manager_; }
    quint64 ticket() const { return ticket_; }
    const DesktopClaim& claim() const { return claim_; }
    // A newer run began, or the manager is gone.
    bool isOvertaken() const;
    // Every display was chosen for since the run began (from any surface), or the manager is gone.
    bool isOvertakenEverywhere() const;
    // No display was chosen for since the run began: the still picture and the lock screen,
    // shared by every display, are still the run's to set.
    bool ownsEveryDisplay() const;
    // Logs that the run ends early because a newer choice replaced it; its toast does not come back.
    void logOvertaken(qint64 key) const;

    // A fresh toast: no title, no picture, a progress bar at `progress`.
    void openToast(const QString& message, double progress) const;
    // The toast's own queued updates, in the order issued.
    void updateMessage(const QString& message) const;
    void updateProgress(double progress) const;
    void hideToast(double seconds) const;
    // A failure the user asked about from the tray, as a desktop notification when no main
    // window shows the toast.
    void reportFailure(const QString& summary, const std::exception& error) const;

    // Where the desktop lets no application draw a live wallpaper (once per run of the program),
    // or another program's picture covers it (at every apply), says so in the toast and the log:
    // what it said, or nothing.
    std::optional<QString> tellLimits() const;

    // The error's type and text, for the detail lines of the log.
    static QString errorDetails(const std::exception& error);

private:
    // A newer run began, or a newer choice from any surface took every display: the run's toast
    // says nothing more.
    bool isReplaced() const;
    NotificationManager* liveToast() const;

    QPointer<MenuBarManager> manager_;
    QPointer<NotificationManager> toast_;
    quint64 ticket_;
    DesktopClaim claim_;
    // The toast the runs opened last; 0 before one opened one. Only the newest run writes in it.
    std::shared_ptr<quint64> shownToast_;
};
