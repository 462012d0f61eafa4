#include "ui/FooterView.h"

#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kPadding = 20;
QFont footerFont() { return Theme::systemFont(14); }
} // namespace

FooterView::FooterView(QWidget* parent) : QWidget(parent), text_(tr("Quorvelle · Live wallpapers for your desktop"))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize FooterView::sizeHint() const
{
    const QFontMetrics metrics(footerFont());
    return {metrics.horizontalAdvance(text_), metrics.height() + 2 * kPadding};
}

void FooterView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Theme::withOpacity(Qt::white, 0.8));
    painter.setFont(footerFont());
    painter.drawText(rect().adjusted(0, kPadding, 0, -kPadding), Qt::AlignCenter | Qt::TextSingleLine, text_);
}
