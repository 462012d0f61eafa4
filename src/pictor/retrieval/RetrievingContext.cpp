#include "pictor/retrieval/RetrievingContext.h"

namespace pictor {

PictorParsedOptionsInfo RetrievingContext::options() const
{
    std::lock_guard lock(mutex_);
    return options_;
}

void RetrievingContext::setOptions(PictorParsedOptionsInfo options)
{
    std::lock_guard lock(mutex_);
    options_ = std::move(options);
}

std::optional<Source> RetrievingContext::nextAlternativeSource()
{
    std::lock_guard lock(mutex_);
    if (!options_.alternativeSources || options_.alternativeSources->isEmpty())
        return std::nullopt;
    const std::shared_ptr<const Source> next = options_.alternativeSources->takeFirst();
    return *next;
}

std::optional<Source> RetrievingContext::takeLowDataModeSource()
{
    std::lock_guard lock(mutex_);
    const std::shared_ptr<const Source> source = std::exchange(options_.lowDataModeSource, nullptr);
    if (!source)
        return std::nullopt;
    return *source;
}

void RetrievingContext::recordError(const PictorError& error, const Source& source)
{
    std::lock_guard lock(mutex_);
    propagationErrors_.append({source, error});
}

QList<PropagationError> RetrievingContext::propagationErrors() const
{
    std::lock_guard lock(mutex_);
    return propagationErrors_;
}

} // namespace pictor
