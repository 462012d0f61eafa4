#include "pictor/retrieval/ImageDataProvider.h"

#include "pictor/retrieval/Source.h"

#include <QFutureInterface>
#include <QCoro/QCoroFuture>

namespace pictor {

QString ImageDataProvider::description() const { return QStringLiteral("ImageDataProvider(key: %1)").arg(cacheKey()); }

Source ImageDataProvider::convertToSource() const { return Source::provider(shared_from_this()); }

QCoro::Task<QByteArray> ImageDataProvider::dataAsync() const
{
    struct Outcome {
        QFutureInterface<void> done;
        std::optional<DataResult> result;
    };
    auto outcome = std::make_shared<Outcome>();
    outcome->done.reportStarted();
    // Held for the whole load: the provider may be the caller's only reference.
    const std::shared_ptr<const ImageDataProvider> self = shared_from_this();
    self->data([outcome](DataResult result) {
        outcome->result.emplace(std::move(result));
        outcome->done.reportFinished();
    });
    const QFuture<void> finished = outcome->done.future();
    co_await finished;
    if (outcome->result->isFailure())
        throw outcome->result->error();
    co_return outcome->result->value();
}

} // namespace pictor
