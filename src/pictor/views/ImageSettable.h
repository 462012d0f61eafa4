#pragma once

#include "pictor/core/Image.h"
#include "pictor/views/Indicator.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/views/ImageTaskSlot.h"
#include "pictor/views/Placeholder.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace pictor {

// One image slot of a widget-side object that loads go into (an image view, a button's image or
// its "on" image, an action's icon, a text attachment): how its image is read and written, and
// the few steps in which the image view differs. Implementations hold their object weakly.
class ImageSettable {
public:
    virtual ~ImageSettable() = default;

    // The object the load belongs to; null once destroyed, which refuses every later result.
    virtual QObject* object() const = 0;
    // Each slot of an object keeps its own request identity.
    virtual ImageTaskSlot slot() const { return ImageTaskSlot::named(QStringLiteral("image")); }
    virtual void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo& options) = 0;
    virtual std::optional<Image> image() const = 0;

    // Shows the placeholder as a load starts unless the caller keeps what is shown and something
    // is. Image-only slots show an image placeholder and clear for any other.
    virtual void showPlaceholder(const std::shared_ptr<Placeholder>& placeholder, bool keepCurrent, const PictorParsedOptionsInfo& options)
    {
        if (keepCurrent && image())
            return;
        setImage(placeholder ? placeholder->image() : std::nullopt, options);
    }
    // Around the image of a matching result (or the failure image) being set.
    virtual void willApplyResult() {}
    virtual void didApplyResult() {}
    virtual std::shared_ptr<Indicator> indicator() const { return nullptr; }
    virtual bool shouldPreloadAllAnimation() const { return false; }
};

} // namespace pictor
