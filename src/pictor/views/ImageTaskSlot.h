#pragma once

#include <QHashFunctions>
#include <QPersistentModelIndex>
#include <QString>

namespace pictor {

// Names one image slot of an object: by name ("image", "alternateImage", a text resource) or, for
// a model, by the cell itself. A cell is its persistent index, which follows the cell as rows are
// inserted, removed or moved, so a load stays with the cell it was started for.
class ImageTaskSlot {
public:
    static ImageTaskSlot named(QString name) { return ImageTaskSlot(std::move(name), {}); }
    static ImageTaskSlot cell(const QPersistentModelIndex& cell) { return ImageTaskSlot({}, cell); }

    // A cell's slot whose cell has left its model (removed, or the model reset).
    bool isRemovedCell() const { return cell_ != QPersistentModelIndex() && !cell_.isValid(); }

    bool operator==(const ImageTaskSlot& other) const { return name_ == other.name_ && cell_ == other.cell_; }
    // A persistent index hashes by its identity, not by its row, so moves keep the hash.
    friend size_t qHash(const ImageTaskSlot& slot, size_t seed = 0) noexcept { return qHashMulti(seed, slot.name_, slot.cell_); }

private:
    ImageTaskSlot(QString name, const QPersistentModelIndex& cell) : name_(std::move(name)), cell_(cell) {}

    QString name_;
    QPersistentModelIndex cell_;
};

} // namespace pictor
