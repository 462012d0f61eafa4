#include "screens/sheets/ReportReasonRow.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QtMath>

namespace {
constexpr int kPaddingX = 12;
constexpr int kPaddingY = 10;
constexpr int kRadio = 18;
constexpr int kDot = 10;
constexpr int kSpacing = 12;
constexpr int kLineGap = 3;
constexpr qreal kCorner = 10;
constexpr int kMaxLines = 2;

QFont labelFont() { return Theme::systemFont(13, QFont::Medium); }
QFont confirmationFont() { return Theme::systemFont(11); }

// The height of `text` wrapped into `width`: whole lines, at most two, each as tall as the painter
// lays it out (a line takes a pixel more than the font's line spacing says, and the last one
// would lose its descenders to a box of spacings).
int wrappedHeight(const QString& text, const QFont& font, int width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid() && lines < kMaxLines; line = layout.createLine(), ++lines) {
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return std::max(qCeil(height), QFontMetrics(font).height());
}
} // namespace

ReportReasonRow::ReportReasonRow(ReportReason reason, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(120), parent), reason_(reason)
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ReportReasonRow::setSelected(bool selected)
{
    if (selected == selected_)
        return;
    selected_ = selected;
    update();
}

QColor ReportReasonRow::fillColor() const
{
    return Theme::withOpacity(Qt::white, selected_ ? 0.08 : 0.04 * hoverAmount());
}

QColor ReportReasonRow::strokeColor() const { return Theme::withOpacity(Qt::white, selected_ ? 0.2 : 0.08); }

QRect ReportReasonRow::textRect(int width) const
{
    const int left = kPaddingX + kRadio + kSpacing;
    return QRect(left, kPaddingY, std::max(1, width - left - kPaddingX), 0);
}

int ReportReasonRow::heightForWidth(int width) const
{
    const int textWidth = textRect(width).width();
    int text = wrappedHeight(ReportReasons::label(reason_), labelFont(), textWidth);
    if (const auto confirmation = ReportReasons::confirmationText(reason_))
        text += kLineGap + wrappedHeight(*confirmation, confirmationFont(), textWidth);
    return 2 * kPaddingY + std::max(text, kRadio);
}

QSize ReportReasonRow::sizeHint() const { return {300, heightForWidth(300)}; }

void ReportReasonRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    const QPainterPath shape = GlassBackground::shape(card, kCorner);
    painter.fillPath(shape, fillColor());
    painter.setPen(QPen(strokeColor(), 0.5));
    painter.drawPath(shape);

    const QRectF radio(kPaddingX, (height() - kRadio) / 2.0, kRadio, kRadio);
    painter.setPen(QPen(Theme::withOpacity(Qt::white, selected_ ? 1.0 : 0.3), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(radio.adjusted(0.75, 0.75, -0.75, -0.75));
    if (selected_) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(radio.center() - QPointF(kDot / 2.0, kDot / 2.0), QSizeF(kDot, kDot)));
    }

    QRect text = textRect(width());
    const auto drawLines = [&](const QString& line, const QFont& font, const QColor& color) {
        text.setHeight(wrappedHeight(line, font, text.width()));
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(text, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, line);
        text.translate(0, text.height() + kLineGap);
    };
    const auto confirmation = ReportReasons::confirmationText(reason_);
    // Centred as a block, as the radio mark is.
    const int block = heightForWidth(width()) - 2 * kPaddingY;
    text.translate(0, std::max(0, (height() - 2 * kPaddingY - block) / 2));
    drawLines(ReportReasons::label(reason_), labelFont(), Theme::withOpacity(Qt::white, 0.9));
    if (confirmation)
        drawLines(*confirmation, confirmationFont(), Theme::withOpacity(Qt::white, 0.4));
}
