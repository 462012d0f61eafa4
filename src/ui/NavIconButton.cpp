#include "ui/NavIconButton.h"

#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPadding = 6;
constexpr qreal kCapsule = 999;
} // namespace

NavIconButton::NavIconButton(const QString& symbol, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), symbol_(symbol)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

NavIconButton* NavIconButton::search(QWidget* parent) { return new NavIconButton(QStringLiteral("magnifyingglass"), parent); }
NavIconButton* NavIconButton::upload(QWidget* parent) { return new NavIconButton(QStringLiteral("plus"), parent); }
NavIconButton* NavIconButton::settings(QWidget* parent) { return new NavIconButton(QStringLiteral("gearshape.fill"), parent); }

void NavIconButton::setActive(bool active)
{
    if (active == active_)
        return;
    active_ = active;
    update();
}

qreal NavIconButton::capsuleOpacity() const { return active_ ? 0.9 : 0.15 * hoverAmount(); }

QColor NavIconButton::symbolColor() const { return active_ ? QColor(Qt::black) : QColor(Qt::white); }

QSize NavIconButton::sizeHint() const
{
    const int side = Symbols::sizeForFont(kSymbolPointSize) + 2 * kPadding;
    return {side, side};
}

bool NavIconButton::hitTest(const QPointF& point) const { return GlassBackground::shape(rect(), kCapsule).contains(point); }

void NavIconButton::paintEvent(QPaintEvent*)
{
    // The symbol is fixed for the button's life; what else shows follows from these two.
    const qreal opacity = capsuleOpacity();
    QPainter painter(this);
    cache_.paint(painter, *this, {opacity, active_ ? 1.0 : 0.0}, [this, opacity](QPainter& cached) {
        cached.setRenderHint(QPainter::Antialiasing);
        if (opacity > 0)
            cached.fillPath(GlassBackground::shape(rect(), kCapsule), Theme::withOpacity(Qt::white, opacity));
        Symbols::paint(cached, QRectF(rect()).adjusted(kPadding, kPadding, -kPadding, -kPadding), symbol_, symbolColor());
    });
}
