#include "pictor/views/LivePhotoLoading.h"

#include "pictor/core/CallbackQueue.h"
#include "pictor/views/ImageTaskStates.h"
#include "pictor/views/LivePhotoView.h"
#include "pictor/retrieval/PictorManager.h"
#include "pictor/retrieval/SourceIdentifier.h"

#include <QCoro/QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

#include <system_error>

namespace pictor {

namespace {

using LiveResult = Result<RetrieveLivePhotoResult, PictorError>;

const ImageTaskSlot kSlot = ImageTaskSlot::named(QStringLiteral("livePhoto"));

QString describe(const LivePhotoSource& source)
{
    QStringList parts;
    for (const LivePhotoResource& resource : source.resources)
        parts << resource.dataSource().description();
    return QStringLiteral("LivePhotoSource(") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

bool isCurrent(const QPointer<LivePhotoView>& view, quint64 identifier)
{
    return view && ImageTaskStates::of(view)->state(kSlot).identifier() == identifier;
}

// Everything after the retrieval, on the GUI thread.
void finish(QPointer<LivePhotoView> view, quint64 identifier, const LivePhotoSource& source, std::optional<LivePhotoLoadingInfoResult> info,
            std::optional<LiveResult> failure, std::optional<LivePhoto> photo, const LivePhotoLoading::Completion& completion)
{
    const auto report = [&](LiveResult result) {
        if (completion)
            completion(std::move(result));
    };
    if (!isCurrent(view, identifier)) {
        std::optional<QString> error;
        if (failure)
            error = QString::fromUtf8(failure->error().what());
        return report(LiveResult::failure(PictorError::notCurrentLivePhotoSourceTask(
            info ? std::optional(QStringLiteral("RetrieveLivePhotoResult(%1 files)").arg(info->fileURLs.size())) : std::nullopt, error,
            describe(source))));
    }
    if (failure)
        return report(*failure);
    view->setLivePhoto(photo);
    if (!photo)
        return report(LiveResult::failure(PictorError::livePhotoResultError(std::nullopt, QStringLiteral("no still image among the files"),
                                                                            describe(source))));
    report(LiveResult::success({*info, photo}));
}

// wanted tells from any thread whether the view still waits for this load.
QCoro::Task<> load(QPointer<LivePhotoView> view, quint64 identifier, std::function<bool()> wanted, LivePhotoSource source,
                   std::optional<QList<PictorOptionsInfoItem>> options, std::stop_token stop, LivePhotoLoading::Completion completion)
{
    std::optional<LivePhotoLoadingInfoResult> info;
    std::optional<LiveResult> failure;
    std::optional<LivePhoto> photo;
    try {
        QCoro::Task<LivePhotoLoadingInfoResult> retrieval = PictorManager::shared()->retrieveLivePhoto(source, options, {}, wanted, stop);
        info = co_await std::move(retrieval);
        QFuture<std::optional<LivePhoto>> assembling = QtConcurrent::run(&LivePhoto::fromFiles, info->fileURLs);
        photo = co_await assembling;
    } catch (const PictorError& error) {
        failure = LiveResult::failure(error);
    } catch (const std::system_error&) {
        failure = LiveResult::failure(PictorError::livePhotoTaskCancelled(describe(source)));
    } catch (const std::exception& error) {
        failure = LiveResult::failure(PictorError::livePhotoResultError(std::nullopt, QString::fromUtf8(error.what()), describe(source)));
    }
    // The retrieval may resume on another thread: the view is touched on the GUI thread only.
    CallbackQueue::runMainCurrentOrAsync([=] { finish(view, identifier, source, info, failure, photo, completion); });
}

} // namespace

std::optional<std::stop_source> LivePhotoLoading::setLivePhoto(LivePhotoView* view, const std::optional<LivePhotoSource>& source,
                                                               const std::optional<QList<PictorOptionsInfoItem>>& options, Completion completion)
{
    ImageTaskState& state = ImageTaskStates::of(view)->state(kSlot);
    if (!source) {
        view->setLivePhoto(std::nullopt);
        state.setIdentifier(std::nullopt);
        if (completion)
            completion(LiveResult::failure(PictorError::emptySource()));
        return std::nullopt;
    }
    const quint64 identifier = SourceIdentifier::next();
    state.setIdentifier(identifier);
    std::stop_source stop;
    auto running = load(QPointer<LivePhotoView>(view), identifier, state.isCurrentCheck(identifier), *source, options, stop.get_token(),
                        std::move(completion));
    Q_UNUSED(running);
    return stop;
}

} // namespace pictor
