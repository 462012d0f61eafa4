#pragma once

#include "engine/DesktopClaim.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class NotificationManager;

// What one apply shows in the one in-app toast. Applies may overlap (a rotation step during a
// manual apply), so the toast belongs to the newest apply that has shown it, and the writes of
// older applies are dropped. Shown over by another toast (an import, an upload), the apply's
// toast waits: its later stages go into it, and it comes back once that toast hides, its end
// included. Within an apply, a write for a stage that has been left is dropped too, so a late
// download report never follows "Applying...". Once a newer choice from any surface took every
// display of the apply, it writes nothing more. The thumbnail (a picture, or the first frame of
// an own video) is read off the GUI thread and put in when it arrives, while the toast still
// belongs to this apply (also while it waits).
// A handle: copies share one state, so a progress callback may outlive the apply. GUI thread.
class ApplyToast {
public:
    // The stages of one apply, in the order they can follow each other.
    enum class Stage { notice, applying, downloading, downloaded, applied, lockScreen, lockScreenSet };
    // The newest apply (by its ticket) that has shown a toast, that toast, and the apply's claim
    // on the desktop (none for the lock screen alone); one per apply service.
    struct Holder {
        quint64 apply = 0;
        quint64 toast = 0;
        std::optional<DesktopClaim> claim;
    };
    using Owner = std::shared_ptr<Holder>;

    // `onStage`, when given, hears each stage the apply reaches, whoever holds the toast by then.
    // `claim` is the apply's on the desktop, none for the lock screen alone.
    ApplyToast(NotificationManager& toast, Owner owner, quint64 ticket, QString title, std::optional<QUrl> thumbnailUrl,
        std::function<void(Stage)> onStage = {}, std::optional<DesktopClaim> claim = std::nullopt);

    // Sets every field at once and presents the toast. The first step with a thumbnail starts
    // reading it; until it arrives, and when it cannot be read, the toast has none.
    void show(Stage stage, const QString& message, double progress, bool withThumbnail);
    // Moves on to `stage` (or stays in it) with a new message and progress.
    void update(Stage stage, const QString& message, double progress);
    void updateProgress(Stage stage, double progress);
    // Hides the toast after `seconds` once it shows (at once, or when it is back).
    void hide(double seconds);
    // The apply failed and its caller tells why: on the panel the toast hides after `seconds`;
    // waiting, it never comes back.
    void fail(double seconds);

private:
    struct State;

    // True when the apply of `state` still owns the toast, shown or waiting.
    static bool owns(const State& state);
    // A newer choice, from any surface, took every display of the apply.
    static bool isReplaced(const State& state);
    // True when this apply owns the toast and `stage` has not been left.
    bool accepts(Stage stage) const;
    // Tells onStage of a stage not told before and not left.
    void reach(Stage stage);
    void startThumbnailLoad();
    // Reads the image and puts it in, if the toast still shows this apply by then.
    static QCoro::Task<> loadThumbnail(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
};
