#pragma once

#include "pictor/views/ImageSettable.h"
#include "pictor/views/ImageView.h"

#include <QPointer>

namespace pictor {

// The image view as a load target: placeholders are put in and taken out as objects, its
// indicator runs around each load, and it decides whether animated images are decoded whole.
class ImageViewTarget : public ImageSettable {
public:
    explicit ImageViewTarget(ImageView* view) : view_(view) {}

    QObject* object() const override { return view_; }
    void setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&) override;
    std::optional<Image> image() const override;
    void showPlaceholder(const std::shared_ptr<Placeholder>& placeholder, bool keepCurrent, const PictorParsedOptionsInfo& options) override;
    void willApplyResult() override;
    std::shared_ptr<Indicator> indicator() const override;
    bool shouldPreloadAllAnimation() const override;

private:
    QPointer<ImageView> view_;
};

} // namespace pictor
