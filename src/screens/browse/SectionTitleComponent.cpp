#include "screens/browse/SectionTitleComponent.h"

#include "ui/ElidedText.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kRowSpacing = 12;
constexpr int kChevronSpacing = 8;
constexpr int kSubtitleSpacing = 4;
constexpr qreal kHoveredOpacity = 0.7;
const int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
// A title wraps rather than being cut, but a catalogue's title may be any length.
constexpr int kMaxTitleLines = 2;
} // namespace

SectionTitleComponent::SectionTitleComponent(const QString& title, const QString& subtitle, bool clickable,
    QWidget* trailing, Size size, QWidget* parent)
    : QWidget(parent), title_(ElidedText::bounded(title)), subtitle_(ElidedText::bounded(subtitle)), clickable_(clickable), trailing_(trailing),
      titleFont_(Theme::font(size == Size::Block ? Theme::TextStyle::LargeTitle : Theme::TextStyle::Title, QFont::Bold)),
      subtitleFont_(Theme::font(Theme::TextStyle::Title3, QFont::Light))
{
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setMouseTracking(clickable_);
    if (trailing_)
        trailing_->setParent(this);
    connect(&hover_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

SectionTitleComponent::Geometry SectionTitleComponent::geometryFor(int width) const
{
    Geometry geometry;
    const QSize trailing = trailing_ ? trailing_->sizeHint() : QSize();
    int available = width - (trailing_ ? trailing.width() + kRowSpacing : 0);
    const int chevronSide = clickable_ ? Symbols::sizeForFont(Theme::pixelSize(Theme::TextStyle::Body)) : 0;
    if (clickable_)
        available -= kChevronSpacing + chevronSide;
    available = std::max(available, 1);
    const QFontMetrics metrics(titleFont_);
    geometry.titleLines = ElidedText::wrapped(title_, titleFont_, available, kMaxTitleLines);
    const QRect text = metrics.boundingRect(QRect(0, 0, available, 100000), kTextFlags, geometry.titleLines);
    geometry.rowHeight = std::max(text.height(), trailing.height());
    geometry.titleText = QRect(0, (geometry.rowHeight - text.height()) / 2, text.width(), text.height());
    if (clickable_) {
        // Level with the first line, a point lower as the symbol sits.
        const int firstLine = metrics.height();
        geometry.chevron = QRect(geometry.titleText.right() + 1 + kChevronSpacing,
            geometry.titleText.top() + (firstLine - chevronSide) / 2 + 1, chevronSide, chevronSide);
    }
    if (!subtitle_.isEmpty()) {
        const QRect sub = QFontMetrics(subtitleFont_).boundingRect(QRect(0, 0, std::max(width, 1), 100000), kTextFlags, subtitle_);
        geometry.subtitle = QRect(0, geometry.rowHeight + kSubtitleSpacing, sub.width(), sub.height());
    }
    return geometry;
}

int SectionTitleComponent::heightForWidth(int width) const
{
    const Geometry geometry = geometryFor(width);
    return geometry.subtitle.isNull() ? geometry.rowHeight : geometry.subtitle.bottom() + 1;
}

QSize SectionTitleComponent::sizeHint() const
{
    const int width = QFontMetrics(titleFont_).horizontalAdvance(geometryFor(QWIDGETSIZE_MAX).titleLines) + (trailing_ ? trailing_->sizeHint().width() + 100 : 0);
    return {width, heightForWidth(width)};
}

QRect SectionTitleComponent::titleHitRect() const
{
    if (!clickable_)
        return {};
    const Geometry geometry = geometryFor(width());
    return geometry.titleText.united(geometry.chevron);
}

qreal SectionTitleComponent::titleOpacity() const { return 1.0 - (1.0 - kHoveredOpacity) * hover_.value(); }

void SectionTitleComponent::setSubtitle(const QString& subtitle)
{
    if (subtitle == subtitle_)
        return;
    subtitle_ = subtitle;
    cache_.invalidate();
    updateGeometry();
    update();
}

void SectionTitleComponent::resizeEvent(QResizeEvent*)
{
    if (!trailing_)
        return;
    const QSize size = trailing_->sizeHint();
    const int rowHeight = geometryFor(width()).rowHeight;
    trailing_->setGeometry(width() - size.width(), (rowHeight - size.height()) / 2, size.width(), size.height());
}

void SectionTitleComponent::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    cache_.paint(painter, *this, {hover_.value()}, [this](QPainter& cached) { paintTitle(cached); });
}

void SectionTitleComponent::paintTitle(QPainter& painter) const
{
    const Geometry geometry = geometryFor(width());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(titleOpacity());
    painter.setFont(titleFont_);
    painter.setPen(Qt::white);
    painter.drawText(geometry.titleText, kTextFlags, geometry.titleLines);
    if (clickable_)
        Symbols::paint(painter, geometry.chevron, QStringLiteral("chevron.right"), Theme::withOpacity(Qt::white, 0.9));
    painter.setOpacity(1);
    if (!geometry.subtitle.isNull()) {
        painter.setFont(subtitleFont_);
        painter.setPen(Theme::withOpacity(Qt::white, 0.45));
        painter.drawText(geometry.subtitle, kTextFlags, subtitle_);
    }
}

void SectionTitleComponent::setTitleHovered(bool hovered)
{
    if (hovered == hovered_)
        return;
    hovered_ = hovered;
    // The widget's own cursor, over the title only.
    setCursor(hovered ? Qt::PointingHandCursor : Qt::ArrowCursor);
    hover_.animateTo(hovered ? 1 : 0, AnimatedValue::Curve::easeInOut(150));
}

void SectionTitleComponent::mouseMoveEvent(QMouseEvent* event)
{
    setTitleHovered(titleHitRect().contains(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void SectionTitleComponent::leaveEvent(QEvent* event)
{
    setTitleHovered(false);
    pressed_ = false;
    QWidget::leaveEvent(event);
}

void SectionTitleComponent::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton && titleHitRect().contains(event->position().toPoint());
    if (!pressed_)
        QWidget::mousePressEvent(event);
}

void SectionTitleComponent::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && titleHitRect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        Q_EMIT titleClicked();
    else
        QWidget::mouseReleaseEvent(event);
}
