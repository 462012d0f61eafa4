#include "ui/OverscrollStretch.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace {
// One notch of a mouse wheel (120 eighths of a degree) pulls as far as this many pixels of a
// touchpad before the resistance.
constexpr double kPixelsPerNotch = 48;
// Springs back without swinging past rest: a hero never shrinks below its size.
const AnimatedValue::Curve kSpringBack = AnimatedValue::Curve::spring(0.45, 1.0);
} // namespace

OverscrollStretch::OverscrollStretch(QAbstractScrollArea* area) : QObject(area), area_(area)
{
    release_.setSingleShot(true);
    release_.setInterval(kReleaseMs);
    connect(&release_, &QTimer::timeout, this, &OverscrollStretch::release);
    connect(&pull_, &AnimatedValue::valueChanged, this, [this] { Q_EMIT pullChanged(pull()); });
    area->viewport()->installEventFilter(this);
}

double OverscrollStretch::pull() const { return std::max(0.0, pull_.value()); }

QTransform OverscrollStretch::stretchTransform(const QRectF& picture, double pull)
{
    if (pull <= 0 || picture.height() <= 0)
        return {};
    const double scale = 1 + pull / picture.height();
    const QPointF anchor(picture.center().x(), picture.top());
    return QTransform::fromTranslate(anchor.x(), anchor.y()).scale(scale, scale).translate(-anchor.x(), -anchor.y());
}

bool OverscrollStretch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && area_ && watched == area_->viewport())
        return takeWheel(*static_cast<QWheelEvent*>(event));
    return QObject::eventFilter(watched, event);
}

bool OverscrollStretch::takeWheel(const QWheelEvent& wheel)
{
    if (wheel.phase() == Qt::ScrollEnd || wheel.phase() == Qt::ScrollMomentum) {
        release();
        return false;
    }
    const double delta = wheel.pixelDelta().y() != 0 ? wheel.pixelDelta().y() : wheel.angleDelta().y() / 120.0 * kPixelsPerNotch;
    const QScrollBar* bar = area_->verticalScrollBar();
    const bool atTop = bar->value() <= bar->minimum();
    const double now = pull();
    if (delta == 0 || (now == 0 && (delta < 0 || !atTop)))
        return false;
    const double limit = kMaxPullShare * area_->viewport()->height();
    if (limit <= 0)
        return false;
    // Downwards, the pull gives way first; upwards, it grows ever more slowly towards the limit.
    const double next = delta < 0 ? std::max(0.0, now + delta) : std::min(limit, now + delta * 0.5 * (1 - now / limit));
    pull_.setValue(next);
    if (next > 0)
        release_.start();
    return true;
}

void OverscrollStretch::release()
{
    release_.stop();
    if (pull() > 0)
        pull_.animateTo(0, kSpringBack);
}
