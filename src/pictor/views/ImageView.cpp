#include "pictor/views/ImageView.h"

#include <QPainter>
#include <QVariant>

namespace pictor {

namespace {
constexpr char kFills[] = "pictorFillsImageView";
}

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

ImageView::~ImageView()
{
    // A placeholder widget and the indicator's widget are borrowed: give them back, so that their
    // owners can still destroy them.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->property(kFills).toBool())
            child->setParent(nullptr);
    if (indicator_ && indicator_->view() && indicator_->view()->parentWidget() == this)
        indicator_->view()->setParent(nullptr);
}

void ImageView::setImage(std::optional<Image> image)
{
    image_ = std::move(image);
    update();
    emit imageChanged();
}

void ImageView::setImageScaling(Scaling scaling)
{
    scaling_ = scaling;
    update();
}

void ImageView::setPlaceholder(std::shared_ptr<Placeholder> placeholder)
{
    if (placeholder_)
        placeholder_->remove(*this);
    if (placeholder)
        placeholder->add(*this);
    else
        setImage(std::nullopt);
    placeholder_ = std::move(placeholder);
}

void ImageView::setIndicatorType(IndicatorType type)
{
    setIndicator(type.make());
    indicatorType_ = std::move(type);
}

void ImageView::setIndicator(std::shared_ptr<Indicator> indicator)
{
    if (indicator_ && indicator_->view() && indicator_->view()->parentWidget() == this)
        indicator_->view()->setParent(nullptr);
    indicator_ = std::move(indicator);
    if (QWidget* view = indicator_ ? indicator_->view() : nullptr) {
        view->setParent(this);
        view->hide();
        view->raise();
        layoutOverlays();
    }
}

void ImageView::addFillingChild(QWidget* child)
{
    child->setProperty(kFills, true);
    child->setGeometry(rect());
    // Below the indicator, which shows over the placeholder.
    child->lower();
}

QRectF ImageView::imageRect(QSizeF imageSize) const
{
    const QRectF bounds = rect();
    if (imageSize.isEmpty())
        return bounds;
    QSizeF fitted = imageSize;
    switch (scaling_) {
    case Scaling::axesIndependently:
        return bounds;
    case Scaling::none:
        break;
    case Scaling::proportionallyDown:
        if (imageSize.width() > bounds.width() || imageSize.height() > bounds.height())
            fitted = imageSize.scaled(bounds.size(), Qt::KeepAspectRatio);
        break;
    case Scaling::proportionallyUpOrDown:
        fitted = imageSize.scaled(bounds.size(), Qt::KeepAspectRatio);
        break;
    }
    return QRectF(bounds.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
}

QSize ImageView::sizeHint() const
{
    return image_ && !image_->size().isEmpty() ? image_->size().toSize() : QSize(120, 90);
}

std::optional<std::pair<QImage, QSizeF>> ImageView::displayedFrame() const
{
    if (!image_ || !image_->hasBitmap())
        return std::nullopt;
    return std::pair(image_->bitmap(), image_->size());
}

void ImageView::paintEvent(QPaintEvent*)
{
    const std::optional<std::pair<QImage, QSizeF>> frame = displayedFrame();
    if (!frame)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(frame->second), frame->first);
}

void ImageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutOverlays();
}

void ImageView::layoutOverlays()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->property(kFills).toBool())
            child->setGeometry(rect());
    QWidget* view = indicator_ ? indicator_->view() : nullptr;
    if (!view)
        return;
    const IndicatorSizeStrategy strategy = indicator_->sizeStrategy(*this);
    QSize size = view->sizeHint().isValid() ? view->sizeHint() : view->size();
    if (strategy.kind == IndicatorSizeStrategy::Kind::full)
        size = this->size();
    else if (strategy.kind == IndicatorSizeStrategy::Kind::size)
        size = strategy.size;
    const QPointF center = QRectF(rect()).center() + indicator_->centerOffset();
    view->setGeometry(QRect((center - QPointF(size.width() / 2.0, size.height() / 2.0)).toPoint(), size));
}

} // namespace pictor
