#include "ui/NotificationToast.h"

#include "foundation/CoverCrop.h"
#include "ui/GlassBackground.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {
constexpr qreal kPadding = 12;
constexpr qreal kSpacing = 16;
constexpr qreal kThumbnail = 40;
constexpr qreal kColumnSpacing = 10;
constexpr qreal kColumnLift = 2;
constexpr qreal kInsetWithoutThumbnail = 12;
constexpr qreal kBarHeight = 3;
constexpr qreal kBarTrailing = 5;
constexpr qreal kTrackShortening = 20;
constexpr qreal kCornerRadius = 20;
constexpr qreal kCancel = 20;

QFont messageFont() { return Theme::font(Theme::TextStyle::Body, QFont::Medium); }

// Wraps at word boundaries, and inside a word too long for a line.
void layoutMessage(QTextLayout& layout, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setFont(messageFont());
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

double fraction(double progress) { return std::isnan(progress) ? 0 : std::clamp(progress, 0.0, 1.0); }
} // namespace

NotificationToast::NotificationToast(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&presentation_, &AnimatedValue::valueChanged, this, [this] {
        update();
        emit placementChanged();
    });
    // Gone for good once it has sprung out: nothing left to paint or place.
    connect(&presentation_, &QAbstractAnimation::finished, this, [this] { setVisible(presented_); });
    setVisible(false);
}

void NotificationToast::setMessage(const QString& message)
{
    if (message == message_)
        return;
    message_ = message;
    update();
    emit placementChanged();
}

void NotificationToast::setThumbnail(const QImage& thumbnail)
{
    const bool hadThumbnail = !thumbnail_.isNull();
    thumbnail_ = thumbnail;
    update();
    if (hadThumbnail != !thumbnail_.isNull())
        emit placementChanged();
}

void NotificationToast::setProgress(double progress)
{
    progress_ = progress;
    update();
}

void NotificationToast::setShowProgress(bool show)
{
    if (show == showProgress_)
        return;
    showProgress_ = show;
    update();
    emit placementChanged();
}

void NotificationToast::setCancellable(bool cancellable)
{
    if (cancellable == cancellable_)
        return;
    cancellable_ = cancellable;
    update();
    emit placementChanged();
}

void NotificationToast::setPresented(bool presented)
{
    if (presented == presented_)
        return;
    presented_ = presented;
    setAttribute(Qt::WA_TransparentForMouseEvents, !presented);
    if (presented)
        show();
    presentation_.animateTo(presented ? 1 : 0, AnimatedValue::Curve::spring(0.5, 0.75));
}

qreal NotificationToast::slideOffset() const { return kSlideDistance * (1 - presentation_.value()); }

qreal NotificationToast::opacity() const { return std::clamp(presentation_.value(), 0.0, 1.0); }

NotificationToast::Parts NotificationToast::parts(int width) const
{
    Parts parts;
    const bool hasThumbnail = !thumbnail_.isNull();
    const qreal columnLeft = kPadding + (hasThumbnail ? kThumbnail + kSpacing : kInsetWithoutThumbnail);
    // The cancel button takes a strip at the right of the text column.
    const qreal cancelRoom = cancellable_ ? kCancel + 6 : 0;
    const qreal columnWidth = std::max<qreal>(0, width - kPadding - columnLeft - cancelRoom);

    qreal messageHeight = 0;
    if (!message_.isEmpty()) {
        QTextLayout layout(message_);
        layoutMessage(layout, columnWidth);
        messageHeight = layout.boundingRect().height();
    }
    qreal columnHeight = messageHeight;
    if (showProgress_)
        columnHeight += (message_.isEmpty() ? 0 : kColumnSpacing) + kBarHeight;
    // The column is lifted by 2, which also takes 2 off the height it asks for.
    const qreal columnFrame = std::max<qreal>(0, columnHeight - kColumnLift);
    const qreal rowHeight = std::max(hasThumbnail ? kThumbnail : 0, columnFrame);
    parts.height = qCeil(rowHeight + 2 * kPadding);

    if (hasThumbnail)
        parts.thumbnail = QRectF(kPadding, kPadding + (rowHeight - kThumbnail) / 2, kThumbnail, kThumbnail);
    const qreal columnTop = kPadding + (rowHeight - columnFrame) / 2 - kColumnLift;
    if (!message_.isEmpty())
        parts.message = QRectF(columnLeft, columnTop, columnWidth, messageHeight);
    if (showProgress_) {
        const qreal barTop = columnTop + columnHeight - kBarHeight;
        const qreal track = std::max<qreal>(0, columnWidth - kBarTrailing - kTrackShortening);
        parts.track = QRectF(columnLeft, barTop, track, kBarHeight);
        parts.fill = QRectF(columnLeft, barTop, track * fraction(progress_), kBarHeight);
    }
    if (cancellable_)
        parts.cancel = QRectF(width - kPadding - kCancel, (parts.height - kCancel) / 2, kCancel, kCancel);
    return parts;
}

int NotificationToast::heightForWidth(int width) const { return parts(width).height; }

QSize NotificationToast::sizeHint() const { return {kMaxWidth, heightForWidth(kMaxWidth)}; }

// Presented, the card keeps the pointer from what lies beneath it (while hidden Qt does not even
// deliver it here).
bool NotificationToast::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        if (cancellable_ && parts(width()).cancel.contains(static_cast<QMouseEvent*>(event)->position()))
            emit cancelRequested();
        event->accept();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

void NotificationToast::paintEvent(QPaintEvent*)
{
    if (opacity() <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(opacity());
    GlassBackground::paint(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), kCornerRadius);

    const Parts shown = parts(width());
    if (!shown.thumbnail.isEmpty()) {
        painter.save();
        QPainterPath circle;
        circle.addEllipse(shown.thumbnail);
        painter.setClipPath(circle);
        painter.drawImage(shown.thumbnail, thumbnail_, CoverCrop::sourceRect(thumbnail_.size(), shown.thumbnail.size()));
        painter.restore();
    }
    if (!shown.message.isEmpty()) {
        QTextLayout layout(message_);
        layoutMessage(layout, shown.message.width());
        painter.setPen(Qt::white);
        layout.draw(&painter, shown.message.topLeft());
    }
    if (!shown.track.isNull()) {
        painter.fillPath(GlassBackground::shape(shown.track, kBarHeight), Theme::withOpacity(Qt::white, 0.2));
        if (shown.fill.width() > 0)
            painter.fillPath(GlassBackground::shape(shown.fill, kBarHeight), Qt::white);
    }
    if (!shown.cancel.isNull()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Qt::white, 0.15));
        painter.drawEllipse(shown.cancel);
        Symbols::paint(painter, shown.cancel.adjusted(6, 6, -6, -6), QStringLiteral("xmark"), Qt::white);
    }
}
