#include "pictor/views/ImageTaskState.h"

namespace pictor {

ImageTaskState* ImageTaskState::of(QObject* target, const QString& slot)
{
    const QString name = QStringLiteral("pictor.task.") + slot;
    if (auto* state = target->findChild<ImageTaskState*>(name, Qt::FindDirectChildrenOnly))
        return state;
    auto* state = new ImageTaskState(target);
    state->setObjectName(name);
    return state;
}

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
