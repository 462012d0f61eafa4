#include "pictor/views/ImageTaskState.h"

namespace pictor {

std::optional<SourceIdentifier::Value> ImageTaskState::identifier() const
{
    const SourceIdentifier::Value value = identifier_->load();
    return value ? std::optional(value) : std::nullopt;
}

void ImageTaskState::setIdentifier(std::optional<SourceIdentifier::Value> identifier) { identifier_->store(identifier.value_or(0)); }

std::function<bool()> ImageTaskState::isCurrentCheck(SourceIdentifier::Value identifier) const
{
    return [stored = identifier_, identifier] { return stored->load() == identifier; };
}

void ImageTaskState::cancelTask() const
{
    if (task_)
        task_->cancel();
}

} // namespace pictor
