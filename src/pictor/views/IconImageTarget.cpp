#include "pictor/views/IconImageTarget.h"

#include <QPixmap>
#include <QVariant>

Q_DECLARE_METATYPE(pictor::Image)

namespace pictor {

const char* IconImageTarget::propertyName(QIcon::State state)
{
    return state == QIcon::On ? "pictorAlternateImage" : "pictorImage";
}

ImageTaskSlot IconImageTarget::slot() const
{
    return ImageTaskSlot::named(state_ == QIcon::On ? QStringLiteral("alternateImage") : QStringLiteral("image"));
}

std::optional<Image> IconImageTarget::image() const
{
    if (!object_)
        return std::nullopt;
    const QVariant stored = object_->property(propertyName(state_));
    return stored.isValid() ? std::optional(stored.value<Image>()) : std::nullopt;
}

void IconImageTarget::setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&)
{
    if (!object_)
        return;
    object_->setProperty(propertyName(state_), image ? QVariant::fromValue(*image) : QVariant());
    QIcon icon;
    for (const QIcon::State state : {QIcon::Off, QIcon::On}) {
        const QVariant stored = object_->property(propertyName(state));
        if (stored.isValid() && stored.value<Image>().hasBitmap())
            icon.addPixmap(QPixmap::fromImage(stored.value<Image>().bitmap()), QIcon::Normal, state);
    }
    object_->setProperty("icon", icon);
}

} // namespace pictor
