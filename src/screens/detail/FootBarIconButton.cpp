#include "screens/detail/FootBarIconButton.h"

#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>

namespace {
constexpr qreal kPressedOpacity = 0.65;
} // namespace

FootBarIconButton::Look FootBarIconButton::Look::footBarIcon() { return Look{}; }

FootBarIconButton::Look FootBarIconButton::Look::back()
{
    return Look{.symbolPointSize = 13, .hoveredCircleOpacity = 0.2, .hoveredOpacity = 1.0, .iconStyle = false};
}

FootBarIconButton::Look FootBarIconButton::Look::report()
{
    // It stands on the wallpaper itself, which may be as light as the flag.
    return Look{.symbolPointSize = 13, .side = 30, .symbolOpacity = 0.35, .circleOpacity = 0.08, .hoveredCircleOpacity = 0.08,
        .shadeOpacity = 0.35, .hoveredOpacity = 1.0, .iconStyle = false};
}

FootBarIconButton::FootBarIconButton(const QString& symbol, const Look& look, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), symbol_(symbol), look_(look)
{
    setFixedSize(sizeHint());
}

QSize FootBarIconButton::sizeHint() const { return {look_.side, look_.side}; }

qreal FootBarIconButton::currentOpacity() const
{
    if (look_.iconStyle && isPressed())
        return kPressedOpacity;
    return 1.0 + (look_.hoveredOpacity - 1.0) * hoverAmount();
}

void FootBarIconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(currentOpacity());
    const QRectF box(rect());
    const qreal hover = hoverAmount();
    const qreal circle = look_.circleOpacity + (look_.hoveredCircleOpacity - look_.circleOpacity) * hover;
    if (look_.shadeOpacity > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Qt::black, look_.shadeOpacity));
        painter.drawEllipse(box);
    }
    if (circle > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Qt::white, circle));
        painter.drawEllipse(box);
    }
    const int symbolSide = Symbols::sizeForFont(look_.symbolPointSize);
    const QRectF symbolBox(box.center().x() - symbolSide / 2.0, box.center().y() - symbolSide / 2.0, symbolSide, symbolSide);
    if (look_.iconStyle) {
        // The icon style's soft white glow hugs the symbol: faint copies around it, wider and
        // brighter while hovered.
        const qreal spread = 1.5 + hover;
        const QColor glow = Theme::withOpacity(Qt::white, 0.10 + 0.08 * hover);
        for (const QPointF offset : {QPointF(-spread, 0), QPointF(spread, 0), QPointF(0, -spread), QPointF(0, spread)})
            Symbols::paint(painter, symbolBox.translated(offset), symbol_, glow);
    }
    Symbols::paint(painter, symbolBox, symbol_, Theme::withOpacity(Qt::white, look_.symbolOpacity));
}
