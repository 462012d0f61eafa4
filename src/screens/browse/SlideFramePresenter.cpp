#include "screens/browse/SlideFramePresenter.h"

#include "ui/FrameComposer.h"

#include <QBackingStore>
#include <QPainter>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace {
QPoint windowPos(const QWidget* widget)
{
    return widget->mapTo(widget->window(), QPoint());
}

// The part of `widget` its ancestors let show, in its window's coordinates.
QRect shownRect(const QWidget* widget)
{
    QRect rect(windowPos(widget), widget->size());
    for (const QWidget* ancestor = widget; !ancestor->isWindow();) {
        ancestor = ancestor->parentWidget();
        rect &= QRect(windowPos(ancestor), ancestor->size());
    }
    return rect;
}

// The widgets Qt paints after the slide where it lies, in the order it paints them: the slide's
// own children, then for the slide and each of its ancestors the siblings stacked above it.
QList<QWidget*> widgetsAbove(QWidget* slide, const QRect& area)
{
    QList<QWidget*> above;
    const auto collect = [&](const QObjectList& children, qsizetype from) {
        for (qsizetype i = from; i < children.size(); ++i) {
            auto* widget = qobject_cast<QWidget*>(children[i]);
            if (widget && !widget->isWindow() && widget->isVisible() && shownRect(widget).intersects(area))
                above.append(widget);
        }
    };
    collect(slide->children(), 0);
    for (QWidget* widget = slide; !widget->isWindow(); widget = widget->parentWidget()) {
        const QObjectList& siblings = widget->parentWidget()->children();
        collect(siblings, siblings.indexOf(widget) + 1);
    }
    return above;
}

QRegion scaled(const QRegion& region, int ratio)
{
    if (ratio == 1)
        return region;
    QRegion pixels;
    for (const QRect& rect : region)
        pixels += QRect(rect.topLeft() * ratio, rect.size() * ratio);
    return pixels;
}
} // namespace

SlideFramePresenter::SlideFramePresenter(QWidget* slide) : slide_(slide) {}

void SlideFramePresenter::invalidate()
{
    stale_ = QRegion(0, 0, std::max(overlay_.width(), slide_->width()), std::max(overlay_.height(), slide_->height()));
}

bool SlideFramePresenter::present(const QImage& frame, const QImage& cover)
{
    QWidget* window = slide_->window();
    QBackingStore* store = window->backingStore();
    const qreal ratio = slide_->devicePixelRatioF();
    const int wholeRatio = int(std::lround(ratio));
    if (!slide_->isVisible() || !store || !window->windowHandle() || slide_->nativeParentWidget() != window
        || ratio != wholeRatio || frame.size() != slide_->size() * wholeRatio || cover.size() != frame.size())
        return false;
    const QRegion visible = slide_->visibleRegion();
    if (visible.isEmpty())
        return true;

    const QPoint at = windowPos(slide_);
    if (at != placedAt_ || window->size() != windowSize_ || cover.cacheKey() != coverKey_ || overlay_.size() != frame.size()) {
        placedAt_ = at;
        windowSize_ = window->size();
        coverKey_ = cover.cacheKey();
        invalidate();
    }
    if (!(stale_ & visible).isEmpty())
        refresh(cover, visible);

    const QRegion inWindow = visible.translated(at);
    store->beginPaint(inWindow);
    QPaintDevice* device = store->paintDevice();
    const bool composed = device && device->devType() == QInternal::Image
        && FrameComposer::drawOver(*static_cast<QImage*>(device), scaled(inWindow, wholeRatio), at * wholeRatio, frame, overlay_);
    store->endPaint();
    if (!composed)
        return false;
    store->flush(inWindow, window->windowHandle());
    ++presented_;
    return true;
}

void SlideFramePresenter::refresh(const QImage& cover, const QRegion& visible)
{
    if (overlay_.size() != cover.size() || !overlay_.isDetached())
        overlay_ = QImage(cover.size(), QImage::Format_ARGB32_Premultiplied);
    overlay_.setDevicePixelRatio(cover.devicePixelRatio());
    // Only what shows is taken: a part hidden now is stale still when it shows.
    const QRegion part = stale_ & visible;
    stale_ -= part;
    QPainter painter(&overlay_);
    painter.setClipRegion(part);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(), cover);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QPoint at = windowPos(slide_);
    const QRegion partInWindow = part.translated(at);
    for (QWidget* widget : widgetsAbove(slide_, partInWindow.boundingRect())) {
        const QPoint origin = windowPos(widget);
        const QRegion source = (partInWindow & shownRect(widget)).translated(-origin);
        if (source.isEmpty())
            continue;
        widget->render(&painter, origin - at + source.boundingRect().topLeft(), source, QWidget::DrawChildren);
    }
}
