#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace pictor {

class ImageView;

// How an indicator's widget is sized over its image view.
struct IndicatorSizeStrategy {
    enum class Kind { size, intrinsicSize, full };
    Kind kind = Kind::intrinsicSize;
    QSize size;

    static IndicatorSizeStrategy fixed(QSize size) { return {Kind::size, size}; }
    static IndicatorSizeStrategy intrinsicSize() { return {Kind::intrinsicSize, {}}; }
    static IndicatorSizeStrategy full() { return {Kind::full, {}}; }
};

// Shown over an image view while it loads: started when a load begins and stopped when it ends.
// Owns its widget, which the view borrows as a child.
class Indicator {
public:
    virtual ~Indicator() = default;

    virtual void startAnimatingView() = 0;
    virtual void stopAnimatingView() = 0;
    // The offset of the widget's centre from the view's centre.
    virtual QPoint centerOffset() const { return {}; }
    virtual QWidget* view() const = 0;
    virtual IndicatorSizeStrategy sizeStrategy(const ImageView& view) const = 0;
};

} // namespace pictor
