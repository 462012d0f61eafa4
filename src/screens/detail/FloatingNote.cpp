#include "screens/detail/FloatingNote.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kCornerRadius = 8;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
} // namespace

FloatingNote::FloatingNote(const QString& text, const QFont& font, QMargins padding, int maxWidth, QWidget* parent,
    Qt::WindowFlags flags)
    : QWidget(parent, flags), text_(text), padding_(padding), maxWidth_(maxWidth)
{
    setFont(font);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(sizeHint());
    hide();
}

QRect FloatingNote::textRect(int width) const
{
    return fontMetrics().boundingRect(QRect(0, 0, width - padding_.left() - padding_.right(), 1000), kTextFlags, text_);
}

QSize FloatingNote::sizeHint() const
{
    const QRect text = textRect(maxWidth_);
    return {text.width() + padding_.left() + padding_.right() + 1, text.height() + padding_.top() + padding_.bottom()};
}

void FloatingNote::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Over a video the glass alone reads poorly: the window colour beneath it, in the whole
    // rectangle for a window of its own, which is opaque without a compositor.
    if (isWindow())
        painter.fillRect(rect(), Theme::appBackgroundColor());
    else
        painter.fillPath(GlassBackground::shape(QRectF(rect()), kCornerRadius), Theme::appBackgroundColor());
    GlassBackground::paint(painter, QRectF(rect()), kCornerRadius);
    painter.setPen(Qt::white);
    painter.drawText(rect().marginsRemoved(padding_), kTextFlags, text_);
}
