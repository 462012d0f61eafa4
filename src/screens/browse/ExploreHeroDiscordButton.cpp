#include "screens/browse/ExploreHeroDiscordButton.h"

#include "ui/DiscordIcon.h"
#include "ui/Theme.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

namespace {
const char* const kTitle = QT_TRANSLATE_NOOP("ExploreHeroDiscordButton", "Join Discord");
const QColor kPurple = QColor::fromRgbF(0.35f, 0.40f, 0.95f);
const QColor kRim = QColor::fromRgbF(0.22f, 0.28f, 0.70f);
constexpr int kHorizontalPadding = 22;
constexpr int kVerticalPadding = 12;
constexpr int kSpacing = 8;
constexpr qreal kHoverScale = 1.02;

QFont titleFont() { return Theme::systemFont(14, QFont::DemiBold); }
} // namespace

ExploreHeroDiscordButton::ExploreHeroDiscordButton(QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeOut(200), parent), icon_(new DiscordIcon(this))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    icon_->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(this, &PressableWidget::clicked, this, &ExploreHeroDiscordButton::openInviteLink);
    connect(this, &PressableWidget::hoverAmountChanged, this, qOverload<>(&QWidget::update));
}

void ExploreHeroDiscordButton::setInviteUrl(const std::optional<QString>& url)
{
    inviteUrl_ = url.value_or(kDefaultInviteUrl);
}

void ExploreHeroDiscordButton::openInviteLink()
{
    const QUrl url(inviteUrl_, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return;
    QDesktopServices::openUrl(url);
}

QSize ExploreHeroDiscordButton::sizeHint() const
{
    const QFontMetrics metrics(titleFont());
    const int content = DiscordIcon::kSide + kSpacing + metrics.horizontalAdvance(tr(kTitle));
    const int height = std::max(DiscordIcon::kSide, metrics.height()) + 2 * kVerticalPadding;
    // Room for the hover growth, so the grown capsule is not clipped.
    return QSize(int((content + 2 * kHorizontalPadding) * kHoverScale) + 2, int(height * kHoverScale) + 2);
}

QRectF ExploreHeroDiscordButton::capsule() const
{
    const qreal scale = 1 + (kHoverScale - 1) * hoverAmount();
    const QSizeF natural = QSizeF(size()) / kHoverScale;
    const QSizeF grown = natural * scale;
    return QRectF(QPointF((width() - grown.width()) / 2, (height() - grown.height()) / 2), grown);
}

void ExploreHeroDiscordButton::resizeEvent(QResizeEvent* event)
{
    PressableWidget::resizeEvent(event);
    const QRectF natural = QRectF(QPointF(), QSizeF(size()) / kHoverScale).translated(
        (width() - width() / kHoverScale) / 2, (height() - height() / kHoverScale) / 2);
    icon_->setGeometry(int(natural.left() + kHorizontalPadding), int(natural.center().y() - DiscordIcon::kSide / 2.0),
        DiscordIcon::kSide, DiscordIcon::kSide);
}

void ExploreHeroDiscordButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = capsule();
    QPainterPath path;
    path.addRoundedRect(shape, shape.height() / 2, shape.height() / 2);
    painter.fillPath(path, Theme::withOpacity(kPurple, 1 - 0.05 * hoverAmount()));
    painter.setPen(QPen(kRim, 0.4));
    painter.drawPath(path);
    painter.setPen(Qt::white);
    painter.setFont(titleFont());
    const QRectF text = QRectF(icon_->geometry().right() + 1 + kSpacing, shape.top(),
        shape.right() - icon_->geometry().right() - kSpacing, shape.height());
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, tr(kTitle));
}
