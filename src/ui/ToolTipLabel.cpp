#include "ui/ToolTipLabel.h"

#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QToolTip>

ToolTipLabel::ToolTipLabel(const QString& text, QWidget* about)
    : QLabel(text, about, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::BypassWindowManagerHint)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setTextFormat(Qt::PlainText);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setMargin(1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this));
    setIndent(1);
    adjustSize();
}

void ToolTipLabel::paintEvent(QPaintEvent* event)
{
    QStylePainter painter(this);
    QStyleOptionFrame panel;
    panel.initFrom(this);
    painter.drawPrimitive(QStyle::PE_PanelTipLabel, panel);
    painter.end();
    QLabel::paintEvent(event);
}
