#include "ui/BackButton.h"

#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kSymbolPointSize = 13;
} // namespace

BackButton::BackButton(QWidget* parent) : PressableWidget(AnimatedValue::Curve::easeOut(120), parent)
{
    setFixedSize(kSide, kSide);
    connect(this, &PressableWidget::hoverAmountChanged, this, qOverload<>(&QWidget::update));
}

void BackButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    GlassBackground::paint(painter, box, kSide / 2.0);
    painter.fillPath(GlassBackground::shape(box, kSide / 2.0), Theme::withOpacity(Qt::black, 0.5 - 0.15 * hoverAmount()));
    const qreal symbol = Symbols::sizeForFont(kSymbolPointSize);
    Symbols::paint(painter, QRectF(box.center() - QPointF(symbol / 2, symbol / 2), QSizeF(symbol, symbol)),
        QStringLiteral("chevron.left"), Qt::white);
}
