#pragma once

#include "pictor/views/ImageTaskSlot.h"
#include "pictor/views/ImageTaskState.h"

#include <QObject>

#include <unordered_map>

namespace pictor {

// The image slots of one object that have a load, looked up by slot: a child of the object, so
// they go away with it. A model's thousands of cells cost one lookup each, whatever their number.
// A slot is forgotten once it waits for nothing, so a model keeps no persistent index of a cell
// whose load has ended, and a removed cell's slot with its download goes with the cell. GUI thread.
class ImageTaskStates : public QObject {
    Q_OBJECT
public:
    // The states of the object, made on first use.
    static ImageTaskStates* of(QObject* object);
    // Null while the object has none.
    static ImageTaskStates* existing(QObject* object);

    // The slot's state, made on first use. The reference stays valid until the slot is forgotten.
    ImageTaskState& state(const ImageTaskSlot& slot) { return states_[slot]; }
    ImageTaskState* find(const ImageTaskSlot& slot);
    void forgetIfIdle(const ImageTaskSlot& slot);

private:
    explicit ImageTaskStates(QObject* object);
    void forgetRemovedCells();

    struct SlotHash {
        size_t operator()(const ImageTaskSlot& slot) const noexcept { return qHash(slot); }
    };
    std::unordered_map<ImageTaskSlot, ImageTaskState, SlotHash> states_;
};

} // namespace pictor
