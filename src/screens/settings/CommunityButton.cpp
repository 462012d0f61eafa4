#include "screens/settings/CommunityButton.h"

#include "platform/UrlOpener.h"
#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPaddingX = 16;
constexpr int kPaddingY = 10;
constexpr int kSpacing = 8;
constexpr qreal kCorner = 30;

QFont textFont() { return Theme::font(Theme::TextStyle::Body); }
int symbolSide() { return Symbols::sizeForFont(Theme::pixelSize(Theme::TextStyle::Body)); }
} // namespace

CommunityButton::CommunityButton(const QString& icon, const QString& text, std::optional<QString> url,
    std::function<void()> onTap, UrlOpener& opener, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::linear(0), parent), symbol_(symbolFor(icon)), text_(text), url_(std::move(url)), onTap_(std::move(onTap)), opener_(opener)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &PressableWidget::clicked, this, &CommunityButton::press);
}

QString CommunityButton::symbolFor(const QString& icon)
{
    if (icon == QLatin1String("discord"))
        return QStringLiteral("message.fill");
    if (icon == QLatin1String("sparkles"))
        return QStringLiteral("sparkles");
    return QStringLiteral("globe");
}

void CommunityButton::press()
{
    if (onTap_) {
        onTap_();
        return;
    }
    if (!url_)
        return;
    const QUrl address(*url_, QUrl::StrictMode);
    if (address.isValid() && !address.scheme().isEmpty())
        opener_.open(address);
}

QColor CommunityButton::contentColor() const { return isHovered() ? QColor(Qt::black) : QColor(Qt::white); }

QSize CommunityButton::sizeHint() const
{
    const QFontMetrics metrics(textFont());
    return {2 * kPaddingX + symbolSide() + kSpacing + metrics.horizontalAdvance(text_),
        2 * kPaddingY + std::max(metrics.height(), symbolSide())};
}

void CommunityButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath pill = GlassBackground::shape(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCorner);
    // Colours switch at once: the hover flag, not its animation, decides.
    if (isHovered())
        painter.fillPath(pill, Qt::white);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawPath(pill);
    const int side = symbolSide();
    Symbols::paint(painter, QRectF(kPaddingX, (height() - side) / 2.0, side, side), symbol_, contentColor());
    painter.setFont(textFont());
    painter.setPen(contentColor());
    const int x = kPaddingX + side + kSpacing;
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text_);
}
