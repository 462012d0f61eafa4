#include "pictor/views/ImageTaskStates.h"

namespace pictor {

ImageTaskStates* ImageTaskStates::of(QObject* object)
{
    if (ImageTaskStates* states = existing(object))
        return states;
    return new ImageTaskStates(object);
}

ImageTaskStates* ImageTaskStates::existing(QObject* object)
{
    return object->findChild<ImageTaskStates*>(QString(), Qt::FindDirectChildrenOnly);
}

ImageTaskState* ImageTaskStates::find(const ImageTaskSlot& slot)
{
    const auto found = states_.find(slot);
    return found == states_.end() ? nullptr : &found->second;
}

void ImageTaskStates::forgetIfIdle(const ImageTaskSlot& slot)
{
    if (const auto found = states_.find(slot); found != states_.end() && found->second.isIdle())
        states_.erase(found);
}

} // namespace pictor
