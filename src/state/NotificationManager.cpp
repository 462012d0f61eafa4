#include "state/NotificationManager.h"

#include "foundation/Async.h"
#include "foundation/Shared.h"
#include "state/AssignChanged.h"

#include <QPointer>

#include <cmath>
#include <utility>

namespace {
double clampedProgress(double progress)
{
    if (std::isnan(progress) || progress <= 0)
        return 0;
    return progress > 1 ? 1 : progress;
}

int delayMs(double seconds)
{
    constexpr double kMaxSeconds = 24.0 * 60 * 60;
    if (std::isnan(seconds) || seconds <= 0)
        return 0;
    return static_cast<int>(std::lround(std::min(seconds, kMaxSeconds) * 1000));
}
} // namespace

NotificationManager::NotificationManager(QObject* parent) : NotificationManager(Delays::real(), parent) {}

NotificationManager::NotificationManager(Delays delays, QObject* parent)
    : QObject(parent), delays_(std::move(delays))
{
}

NotificationManager& NotificationManager::shared() { return Shared<NotificationManager>::instance(); }

NotificationManager::Ticket NotificationManager::show()
{
    const Ticket generation = ++generation_;
    // A toast shown anew carries nothing of the one before, the earlier owner's Stop least of all.
    setCancelAction(generation, {});
    QPointer<NotificationManager> self(this);
    // Two hops, so the views take in the new content before the panel appears.
    postToMain([self, generation] {
        postToMain([self, generation] {
            if (self && self->generation_ == generation && self->hiddenGeneration_ < generation)
                self->setPresented(true);
        });
    });
    return generation;
}

NotificationManager::Ticket NotificationManager::show(QString title, QString message, QImage thumbnail, double progress, bool showProgress)
{
    setTitle(std::move(title));
    setMessage(std::move(message));
    setThumbnailImage(std::move(thumbnail));
    setProgress(progress);
    setShowProgress(showProgress);
    return show();
}

void NotificationManager::updateProgress(double progress) { updateProgress(generation_, progress); }

void NotificationManager::updateProgress(Ticket owner, double progress)
{
    postToMain([self = QPointer<NotificationManager>(this), owner, progress] {
        if (self && self->isShowing(owner))
            self->setProgress(progress);
    });
}

void NotificationManager::updateMessage(QString message) { updateMessage(generation_, std::move(message)); }

void NotificationManager::updateMessage(Ticket owner, QString message)
{
    postToMain([self = QPointer<NotificationManager>(this), owner, message = std::move(message)] {
        if (self && self->isShowing(owner))
            self->setMessage(message);
    });
}

void NotificationManager::hide()
{
    postToMain([self = QPointer<NotificationManager>(this), generation = generation_] {
        if (self)
            self->hideShown(generation);
    });
}

void NotificationManager::hide(double seconds) { hide(generation_, seconds); }

void NotificationManager::hide(Ticket owner, double seconds)
{
    delays_.after(delayMs(seconds), this, [this, owner] { hideShown(owner); });
}

void NotificationManager::hideShown(Ticket generation)
{
    if (generation != generation_)
        return;
    hiddenGeneration_ = generation;
    setPresented(false);
    delays_.after(kResetDelayMs, this, [this, generation] {
        if (generation == generation_)
            resetContent();
    });
}

void NotificationManager::resetContent()
{
    setProgress(0);
    setTitle(QString());
    setMessage(QString());
    setThumbnailImage(QImage());
    setShowProgress(true);
    setCancelAction(generation_, {});
}

void NotificationManager::setPresented(bool presented)
{
    if (assignChanged(isPresented_, presented))
        Q_EMIT isPresentedChanged();
}

void NotificationManager::setTitle(QString title)
{
    if (assignChanged(title_, std::move(title)))
        Q_EMIT titleChanged();
}

void NotificationManager::setMessage(QString message)
{
    if (assignChanged(message_, std::move(message)))
        Q_EMIT messageChanged();
}

void NotificationManager::setThumbnailImage(QImage image)
{
    if (assignChanged(thumbnailImage_, std::move(image)))
        Q_EMIT thumbnailImageChanged();
}

void NotificationManager::setProgress(double progress)
{
    if (assignChanged(progress_, clampedProgress(progress)))
        Q_EMIT progressChanged();
}

void NotificationManager::setShowProgress(bool show)
{
    if (assignChanged(showProgress_, show))
        Q_EMIT showProgressChanged();
}

void NotificationManager::setCancelAction(Ticket owner, std::function<void()> action)
{
    if (!isShowing(owner))
        return;
    const bool was = isCancellable();
    cancelAction_ = std::move(action);
    if (was != isCancellable())
        Q_EMIT cancellableChanged();
}

void NotificationManager::cancel()
{
    if (std::function<void()> action = std::exchange(cancelAction_, nullptr)) {
        Q_EMIT cancellableChanged();
        action();
    }
}
