#pragma once

#include "pictor/views/ImageSettable.h"

#include <QIcon>
#include <QPointer>

namespace pictor {

// An icon as a load target: a button's or an action's icon, each image of it a slot of its own.
// The off state is the image; the on state is the alternate image a checked button shows. The
// loaded images are kept on the object, so setting one state keeps the other.
class IconImageTarget : public ImageSettable {
public:
    // The object must have an "icon" property (QAbstractButton, QAction).
    IconImageTarget(QObject* object, QIcon::State state) : object_(object), state_(state) {}

    QObject* object() const override { return object_; }
    ImageTaskSlot slot() const override;
    void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&) override;
    std::optional<Image> image() const override;

private:
    static const char* propertyName(QIcon::State state);

    QPointer<QObject> object_;
    QIcon::State state_;
};

} // namespace pictor
