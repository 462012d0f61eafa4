#pragma once

#include "pictor/views/AnimatedImageView.h"
#include "pictor/views/Indicator.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include <QByteArray>
#include <QPointer>

#include <memory>

namespace pictor {

// An animated image (a GIF, say) played over the whole view while it loads. GUI thread only.
class ImageIndicator : public Indicator {
public:
    // None when the data is not an image.
    static std::shared_ptr<ImageIndicator> create(const QByteArray& data, const std::optional<PictorParsedOptionsInfo>& options = std::nullopt);
    ~ImageIndicator() override;

    void startAnimatingView() override;
    void stopAnimatingView() override;
    QWidget* view() const override;
    IndicatorSizeStrategy sizeStrategy(const ImageView&) const override { return IndicatorSizeStrategy::full(); }

private:
    explicit ImageIndicator(AnimatedImageView* view) : view_(view) {}

    QPointer<AnimatedImageView> view_;
};

} // namespace pictor
