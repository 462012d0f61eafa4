#include "pictor/views/TabImageTarget.h"

#include <QPixmap>
#include <QVariant>

Q_DECLARE_METATYPE(pictor::Image)

namespace pictor {

namespace {
constexpr const char* kProperty = "pictorTabImage";
}

std::optional<Image> TabImageTarget::image() const
{
    const QVariant stored = page_ ? page_->property(kProperty) : QVariant();
    return stored.isValid() ? std::optional(stored.value<Image>()) : std::nullopt;
}

void TabImageTarget::setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&)
{
    if (!page_)
        return;
    page_->setProperty(kProperty, image ? QVariant::fromValue(*image) : QVariant());
    const int index = tabs_ ? tabs_->indexOf(page_) : -1;
    if (index >= 0)
        tabs_->setTabIcon(index, image && image->hasBitmap() ? QIcon(QPixmap::fromImage(image->bitmap())) : QIcon());
}

} // namespace pictor
