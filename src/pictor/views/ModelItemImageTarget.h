#pragma once

#include "pictor/views/ImageSettable.h"

#include <QPersistentModelIndex>

namespace pictor {

// A model cell's decoration (a table or list cell, a QStandardItem) as a load target. The load
// belongs to the model, one slot per cell; the persistent index follows the cell as rows move,
// and a cell removed meanwhile takes no image.
class ModelItemImageTarget : public ImageSettable {
public:
    explicit ModelItemImageTarget(const QPersistentModelIndex& index) : index_(index) {}

    QObject* object() const override;
    QString slot() const override { return slot_; }
    void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&) override;
    std::optional<Image> image() const override;

    static QString slotOf(const QModelIndex& index);

private:
    QPersistentModelIndex index_;
    const QString slot_ = slotOf(index_);
};

} // namespace pictor
