#include "screens/sheets/OnboardingPrimaryButton.h"

#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPaddingY = 12;
constexpr int kSpacing = 8;
constexpr qreal kCorner = 50;
constexpr qreal kPointSize = 14;

QFont labelFont() { return Theme::systemFont(kPointSize); }
} // namespace

OnboardingPrimaryButton::OnboardingPrimaryButton(const QString& text, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(150), parent), text_(text)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QColor OnboardingPrimaryButton::fillColor() const { return Theme::withOpacity(Qt::white, 1 - 0.18 * hoverAmount()); }

QColor OnboardingPrimaryButton::strokeColor() const { return Theme::withOpacity(Qt::black, 1 - 0.65 * hoverAmount()); }

QSize OnboardingPrimaryButton::sizeHint() const { return {kMaxWidth, QFontMetrics(labelFont()).height() + 2 * kPaddingY}; }

void OnboardingPrimaryButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath pill = GlassBackground::shape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCorner);
    painter.fillPath(pill, fillColor());
    painter.setPen(QPen(strokeColor(), 1));
    painter.drawPath(pill);

    const QFontMetrics metrics(labelFont());
    const int arrow = Symbols::sizeForFont(kPointSize);
    const int total = metrics.horizontalAdvance(text_) + kSpacing + arrow;
    const int x = (width() - total) / 2;
    painter.setFont(labelFont());
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, 0, total, height()), Qt::AlignLeft | Qt::AlignVCenter, text_);
    Symbols::paint(painter, QRectF(x + total - arrow, (height() - arrow) / 2.0, arrow, arrow), QStringLiteral("arrow.right"),
        Qt::black);
}
