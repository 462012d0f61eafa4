#include "engine/ApplyToast.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "platform/Http.h"
#include "platform/HttpResponse.h"
#include "platform/MediaTools.h"
#include "state/NotificationManager.h"

#include <QCoro/QCoroFuture>
#include <QNetworkRequest>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>

namespace {
// A thumbnail that takes longer than this is not worth waiting for.
constexpr int kThumbnailTimeoutMs = 15'000;
// A video frame is read no larger than the toast could show it.
constexpr QSize kThumbnailBounds{320, 180};

// The image at `url` (a local file or a remote address), or a null image when it cannot be read,
// and then why is logged. Reading and decoding run on a worker.
QCoro::Task<QImage> readImage(QUrl url)
{
    QImage image;
    QString failure = QStringLiteral("not a picture");
    try {
        if (url.isLocalFile()) {
            const QString path = url.toLocalFile();
            QFuture<QImage> reading = QtConcurrent::run([path] { return QImage(path); });
            image = co_await reading;
            // An own video is its own picture: its first frame stands for it, as on its card.
            if (image.isNull()) {
                QCoro::Task<QImage> framing = MediaTools::shared().frameAtAsync(path, 0, kThumbnailBounds);
                image = co_await std::move(framing);
            }
        } else {
            const QNetworkRequest request(url);
            const QByteArray verb("GET");
            const QByteArray body;
            const std::stop_token never;
            const HttpResponse response = co_await Http::shared().send(request, verb, body, never, kThumbnailTimeoutMs);
            if (response.isSuccess()) {
                QFuture<QImage> decoding = QtConcurrent::run([body = response.body] { return QImage::fromData(body); });
                image = co_await decoding;
            } else {
                failure = QStringLiteral("status ") + QString::number(response.status);
            }
        }
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    // No thumbnail: the toast goes on without one.
    if (image.isNull())
        logLine(QStringLiteral("⚠️"), QStringLiteral("ApplyToast"), QStringLiteral("Toast thumbnail not read from ") + url.toString() + QStringLiteral(": ") + failure);
    co_return image;
}
} // namespace

struct ApplyToast::State {
    QPointer<NotificationManager> toast;
    Owner owner;
    quint64 ticket = 0;
    std::optional<DesktopClaim> claim;
    QString title;
    std::optional<QUrl> thumbnailUrl;
    QImage thumbnail;
    // The toast this apply showed last; once a newer apply shows one, the apply writes no more.
    quint64 shown = 0;
    Stage stage = Stage::notice;
    bool showsThumbnail = false;
    bool loadStarted = false;
    bool hidden = false;
    std::function<void(Stage)> onStage;
    std::optional<Stage> reached;
};

ApplyToast::ApplyToast(NotificationManager& toast, Owner owner, quint64 ticket, QString title, std::optional<QUrl> thumbnailUrl,
    std::function<void(Stage)> onStage, std::optional<DesktopClaim> claim)
    : state_(std::make_shared<State>())
{
    state_->claim = std::move(claim);
    state_->onStage = std::move(onStage);
    state_->toast = &toast;
    state_->owner = std::move(owner);
    state_->ticket = ticket;
    state_->title = std::move(title);
    state_->thumbnailUrl = std::move(thumbnailUrl);
}

bool ApplyToast::owns(const State& state)
{
    return state.toast && state.owner->apply == state.ticket && !isReplaced(state)
        && (state.toast->isShowing(state.shown) || state.toast->isWaiting(state.shown));
}

bool ApplyToast::isReplaced(const State& state)
{
    return state.claim && !HomeScreenWallpaperEngine::shared().holdsAny(*state.claim);
}

bool ApplyToast::accepts(Stage stage) const { return owns(*state_) && stage >= state_->stage; }

void ApplyToast::reach(Stage stage)
{
    State& state = *state_;
    if (!state.onStage || (state.reached && *state.reached >= stage))
        return;
    state.reached = stage;
    state.onStage(stage);
}

void ApplyToast::show(Stage stage, const QString& message, double progress, bool withThumbnail)
{
    reach(stage);
    State& state = *state_;
    // A newer apply's toast is never taken back, nor is the panel by an apply that a newer
    // choice from anywhere replaced.
    if (!state.toast || state.owner->apply > state.ticket || isReplaced(state))
        return;
    NotificationManager& toast = *state.toast;
    // Shown over, the stage goes into the toast's turn rather than over the other toast.
    const bool waits = state.owner->apply == state.ticket && !state.hidden && toast.isWaiting(state.shown);
    // An older apply's toast, or this one's earlier, is replaced: it is not to come back.
    if (!waits)
        toast.leaveTurns(state.owner->toast);
    state.owner->apply = state.ticket;
    state.owner->claim = state.claim;
    state.stage = stage;
    state.hidden = false;
    state.showsThumbnail = withThumbnail;
    if (withThumbnail)
        startThumbnailLoad();

    const QImage thumbnail = withThumbnail ? state.thumbnail : QImage();
    if (waits) {
        toast.setMessage(state.shown, message);
        toast.setThumbnailImage(state.shown, thumbnail);
        toast.setProgress(state.shown, progress);
        toast.setShowProgress(state.shown, true);
        return;
    }
    toast.setTitle(state.title);
    toast.setMessage(message);
    toast.setThumbnailImage(thumbnail);
    toast.setProgress(progress);
    toast.setShowProgress(true);
    state.shown = toast.show();
    state.owner->toast = state.shown;
    // A long download or install may be shown over: its end still gets on screen.
    toast.takeTurns(state.shown);
}

void ApplyToast::update(Stage stage, const QString& message, double progress)
{
    reach(stage);
    if (!accepts(stage))
        return;
    state_->stage = stage;
    state_->toast->setMessage(state_->shown, message);
    state_->toast->setProgress(state_->shown, progress);
}

void ApplyToast::updateProgress(Stage stage, double progress)
{
    if (!accepts(stage))
        return;
    state_->stage = stage;
    state_->toast->setProgress(state_->shown, progress);
}

void ApplyToast::hide(double seconds)
{
    // Hiding goes by the apply's own toast, so only the owner may hide.
    if (!accepts(state_->stage))
        return;
    state_->hidden = true;
    state_->toast->hide(state_->shown, seconds);
}

void ApplyToast::fail(double seconds)
{
    if (accepts(state_->stage))
        state_->toast->leaveTurns(state_->shown);
    hide(seconds);
}

void ApplyToast::startThumbnailLoad()
{
    if (state_->loadStarted || !state_->thumbnailUrl)
        return;
    state_->loadStarted = true;
    fireAndForget(loadThumbnail(state_), QStringLiteral("ApplyToast"));
}

QCoro::Task<> ApplyToast::loadThumbnail(std::shared_ptr<State> state)
{
    const QImage image = co_await readImage(*state->thumbnailUrl);
    state->thumbnail = image;
    // The picture joins the toast while it is on the panel, its end included, or waits for its
    // turn and comes back with it; once the toast's end has gone from the panel it is put nowhere.
    const bool welcome =
        !state->hidden || (state->toast && (state->toast->isPresented() || state->toast->isWaiting(state->shown)));
    if (owns(*state) && state->showsThumbnail && welcome && !image.isNull())
        state->toast->setThumbnailImage(state->shown, image);
}
