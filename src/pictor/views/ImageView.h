#pragma once

#include "pictor/core/Image.h"
#include "pictor/views/Indicator.h"
#include "pictor/views/IndicatorType.h"
#include "pictor/views/Placeholder.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace pictor {

// A widget that shows one image fitted into its bounds, the way a label shows a picture, plus
// what loading into it needs: a placeholder (an image, or a widget laid over it) and an activity
// indicator over its centre. The loading itself is pt::setImage (ImageViewLoading.h). GUI thread.
class ImageView : public QWidget {
    Q_OBJECT
public:
    // How the image is fitted: shrunk to fit keeping its shape, stretched, at its own size, or
    // scaled up or down to fit keeping its shape.
    enum class Scaling { proportionallyDown, axesIndependently, none, proportionallyUpOrDown };

    explicit ImageView(QWidget* parent = nullptr);
    ~ImageView() override;

    const std::optional<Image>& image() const { return image_; }
    virtual void setImage(std::optional<Image> image);
    Scaling imageScaling() const { return scaling_; }
    void setImageScaling(Scaling scaling);

    // Replacing the placeholder takes the old one out and puts the new one in; none clears the image.
    const std::shared_ptr<Placeholder>& placeholder() const { return placeholder_; }
    void setPlaceholder(std::shared_ptr<Placeholder> placeholder);

    // Every assignment makes a new indicator, installed hidden over the view.
    const IndicatorType& indicatorType() const { return indicatorType_; }
    void setIndicatorType(IndicatorType type);
    const std::shared_ptr<Indicator>& indicator() const { return indicator_; }
    void setIndicator(std::shared_ptr<Indicator> indicator);

    // Whether loads into this view decode every frame of an animated image up front.
    virtual bool shouldPreloadAllAnimation() const { return true; }

    // Lays the child over the whole view, now and whenever the view is resized.
    void addFillingChild(QWidget* child);
    // Where an image of that point size is drawn, by the scaling.
    QRectF imageRect(QSizeF imageSize) const;
    QSize sizeHint() const override;

signals:
    void imageChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The bitmap painted now, with the point size it is fitted by.
    virtual std::optional<std::pair<QImage, QSizeF>> displayedFrame() const;

private:
    void layoutOverlays();

    std::optional<Image> image_;
    Scaling scaling_ = Scaling::proportionallyUpOrDown;
    std::shared_ptr<Placeholder> placeholder_;
    IndicatorType indicatorType_;
    std::shared_ptr<Indicator> indicator_;
};

} // namespace pictor
