#include "state/NotificationManager.h"

#include "foundation/Async.h"
#include "foundation/Shared.h"
#include "state/AssignChanged.h"

#include <QPointer>

#include <algorithm>
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
    // The toast shown so far waits when it takes turns; one whose end has been on the panel has
    // told it and goes.
    std::erase_if(turns_, [this](const Turn& turn) { return turn.ticket == current_ && turn.endTold; });
    current_ = ++generation_;
    // A toast shown anew carries nothing of the one before, the earlier owner's Stop least of all.
    setCancelAction(current_, {});
    present();
    return current_;
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

void NotificationManager::twoTurnsLater(std::function<void()> fn)
{
    postToMain([fn = std::move(fn)] { postToMain(fn); });
}

void NotificationManager::present(std::function<void()> presented)
{
    const quint64 appearance = ++appearance_;
    // Two hops, so the views take in the new content before the panel appears.
    twoTurnsLater([self = QPointer<NotificationManager>(this), appearance, presented = std::move(presented)] {
        if (!self || self->appearance_ != appearance || self->hiddenAppearance_ >= appearance)
            return;
        self->setPresented(true);
        if (presented)
            presented();
    });
}

void NotificationManager::takeTurns(Ticket owner)
{
    if (!isShowing(owner) || turnOf(owner))
        return;
    turns_.push_back(Turn{owner, title_, message_, thumbnailImage_, progress_, showProgress_, cancelAction_, std::nullopt});
}

NotificationManager::Turn* NotificationManager::turnOf(Ticket owner)
{
    return const_cast<Turn*>(std::as_const(*this).turnOf(owner));
}

const NotificationManager::Turn* NotificationManager::turnOf(Ticket owner) const
{
    const auto found = std::find_if(turns_.begin(), turns_.end(), [owner](const Turn& turn) { return turn.ticket == owner; });
    return found == turns_.end() ? nullptr : &*found;
}

void NotificationManager::leaveTurns(Ticket owner)
{
    std::erase_if(turns_, [owner](const Turn& turn) { return turn.ticket == owner; });
}

bool NotificationManager::isWaiting(Ticket ticket) const { return !isShowing(ticket) && turnOf(ticket); }

void NotificationManager::setThumbnailImage(Ticket owner, QImage image)
{
    if (Turn* turn = turnOf(owner))
        turn->thumbnail = image;
    if (isShowing(owner))
        setThumbnailImage(std::move(image));
}

void NotificationManager::setProgress(Ticket owner, double progress)
{
    if (Turn* turn = turnOf(owner))
        turn->progress = clampedProgress(progress);
    if (isShowing(owner))
        setProgress(progress);
}

void NotificationManager::setShowProgress(Ticket owner, bool show)
{
    if (Turn* turn = turnOf(owner))
        turn->showProgress = show;
    if (isShowing(owner))
        setShowProgress(show);
}

void NotificationManager::setMessage(Ticket owner, QString message)
{
    if (Turn* turn = turnOf(owner))
        turn->message = message;
    if (isShowing(owner))
        setMessage(std::move(message));
}

void NotificationManager::updateProgress(double progress) { updateProgress(current_, progress); }

void NotificationManager::updateProgress(Ticket owner, double progress)
{
    postToMain([self = QPointer<NotificationManager>(this), owner, progress] {
        if (self)
            self->setProgress(owner, progress);
    });
}

void NotificationManager::updateMessage(QString message) { updateMessage(current_, std::move(message)); }

void NotificationManager::updateMessage(Ticket owner, QString message)
{
    postToMain([self = QPointer<NotificationManager>(this), owner, message = std::move(message)] {
        if (self)
            self->setMessage(owner, message);
    });
}

void NotificationManager::hide()
{
    postToMain([self = QPointer<NotificationManager>(this), owner = current_] {
        if (self)
            self->hideShown(owner);
    });
}

void NotificationManager::hide(double seconds) { hide(current_, seconds); }

void NotificationManager::hide(Ticket owner, double seconds)
{
    if (Turn* turn = turnOf(owner)) {
        turn->endsAfter = seconds;
        // A waiting toast tells its end once it is back on the panel, and hides after that.
        if (!isShowing(owner))
            return;
        // Told once the words written just before this hide are on the panel, which they reach
        // on later turns: a toast shown over it before then leaves its end waiting, not dropped.
        twoTurnsLater([self = QPointer<NotificationManager>(this), owner] {
            Turn* told = self && self->isShowing(owner) ? self->turnOf(owner) : nullptr;
            if (told)
                told->endTold = true;
        });
    }
    // A toast shown over before this timer runs out comes back with a hide of its own; this one
    // would cut that showing short, or end it before it appears.
    delays_.after(delayMs(seconds), this, [this, owner, seconds, appearance = appearance_] {
        if (appearance != appearance_)
            return;
        // A toast that is to stay a while stays until its words can be read, whatever the
        // caller guessed: they may have been written after the hide was asked for.
        const double unread = seconds > 0 ? readingSeconds(message_) - seconds : 0;
        if (unread <= 0)
            return hideShown(owner);
        delays_.after(delayMs(unread), this, [this, owner, appearance] {
            if (appearance == appearance_)
                hideShown(owner);
        });
    });
}

double NotificationManager::readingSeconds(const QString& message)
{
    // 240 words a minute, an adult's pace reading to understand.
    constexpr double kSecondsPerWord = 0.25;
    const QString words = message.simplified();
    return kSecondsPerWord * double(words.isEmpty() ? 0 : words.count(QLatin1Char(' ')) + 1);
}

void NotificationManager::withdraw(Ticket owner)
{
    leaveTurns(owner);
    // Two turns: a replacing choice that shows its own toast meanwhile takes the panel without
    // it fading out first.
    twoTurnsLater([self = QPointer<NotificationManager>(this), owner] {
        if (self && self->hiddenAppearance_ < self->appearance_)
            self->hideShown(owner);
    });
}

void NotificationManager::hideShown(Ticket owner)
{
    if (owner != current_)
        return;
    leaveTurns(owner);
    hiddenAppearance_ = appearance_;
    setPresented(false);
    delays_.after(kResetDelayMs, this, [this, appearance = appearance_] {
        if (appearance == appearance_)
            afterHidden();
    });
}

void NotificationManager::afterHidden()
{
    if (turns_.empty()) {
        resetContent();
        return;
    }
    const Turn back = turns_.back();
    current_ = back.ticket;
    setTitle(back.title);
    setMessage(back.message);
    setThumbnailImage(back.thumbnail);
    setProgress(back.progress);
    setShowProgress(back.showProgress);
    setCancelAction(current_, back.cancelAction);
    // An end reached while waiting is on the panel for as long as its owner asked, from when the
    // panel shows it.
    present([this, ticket = back.ticket, ends = back.endsAfter] {
        if (ends)
            hide(ticket, *ends);
    });
}

void NotificationManager::resetContent()
{
    setProgress(0);
    setTitle(QString());
    setMessage(QString());
    setThumbnailImage(QImage());
    setShowProgress(true);
    setCancelAction(current_, {});
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
    if (Turn* turn = turnOf(owner))
        turn->cancelAction = action;
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
        if (Turn* turn = turnOf(current_))
            turn->cancelAction = nullptr;
        Q_EMIT cancellableChanged();
        action();
    }
}
