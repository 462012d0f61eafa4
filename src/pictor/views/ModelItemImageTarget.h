#pragma once

#include "pictor/views/ImageSettable.h"

#include <QPersistentModelIndex>

namespace pictor {

// A model cell's decoration (a table or list cell, a QStandardItem) as a load target. The load
// belongs to the model, one slot per cell; the persistent index follows the cell as rows move,
// and a cell removed meanwhile takes no image. Made and used on the GUI thread; the last
// reference may go on any thread.
class ModelItemImageTarget : public ImageSettable {
public:
    explicit ModelItemImageTarget(const QPersistentModelIndex& index) : index_(index) {}
    ~ModelItemImageTarget() override;

    QObject* object() const override;
    ImageTaskSlot slot() const override { return ImageTaskSlot::cell(index_); }
    void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&) override;
    std::optional<Image> image() const override;

private:
    QPersistentModelIndex index_;
};

} // namespace pictor
