#include "screens/browse/ProgressBarView.h"

#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>

ProgressBarView::ProgressBarView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&drawn_, &AnimatedValue::valueChanged, this, [this] {
        update();
        Q_EMIT animatedProgressChanged(drawn_.value());
    });
}

void ProgressBarView::setProgress(double progress)
{
    progress = std::clamp(progress, 0.0, 1.0);
    if (progress == progress_)
        return;
    progress_ = progress;
    if (progress_ >= 1)
        drawn_.setValue(1);
    else if (isVisible())
        // Starting fast: targets that come in quick succession restart the move each time, and
        // a slow start would leave the bar ever further behind.
        drawn_.animateTo(progress_, AnimatedValue::Curve::easeOut(400));
}

void ProgressBarView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (progress_ >= 1) {
        drawn_.setValue(1);
        return;
    }
    drawn_.setValue(0);
    drawn_.animateTo(progress_, AnimatedValue::Curve::easeOut(400));
}

void ProgressBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track = rect();
    const qreal radius = track.height() / 2;
    painter.setBrush(Theme::withOpacity(Qt::white, 0.08));
    painter.drawRoundedRect(track, radius, radius);
    const qreal fill = track.width() * drawn_.value();
    if (fill > 0) {
        painter.setBrush(Theme::withOpacity(Qt::white, 0.35));
        painter.drawRoundedRect(QRectF(track.topLeft(), QSizeF(fill, track.height())), radius, radius);
    }
}
