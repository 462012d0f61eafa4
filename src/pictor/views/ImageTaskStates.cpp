#include "pictor/views/ImageTaskStates.h"

#include <QAbstractItemModel>

namespace pictor {

ImageTaskStates::ImageTaskStates(QObject* object) : QObject(object)
{
    // A removed cell refuses its load's result, so nothing would ever forget its slot.
    if (auto* model = qobject_cast<QAbstractItemModel*>(object)) {
        connect(model, &QAbstractItemModel::rowsRemoved, this, &ImageTaskStates::forgetRemovedCells);
        connect(model, &QAbstractItemModel::columnsRemoved, this, &ImageTaskStates::forgetRemovedCells);
        connect(model, &QAbstractItemModel::modelReset, this, &ImageTaskStates::forgetRemovedCells);
    }
}

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

void ImageTaskStates::forgetRemovedCells()
{
    std::erase_if(states_, [](const auto& entry) { return entry.first.isRemovedCell(); });
}

void ImageTaskStates::forgetIfIdle(const ImageTaskSlot& slot)
{
    if (const auto found = states_.find(slot); found != states_.end() && found->second.isIdle())
        states_.erase(found);
}

} // namespace pictor
