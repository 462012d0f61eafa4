#include "screens/detail/FullScreenHero.h"

#include "ui/CachedAsyncImage.h"
#include "ui/LoadingIndicator.h"
#include "ui/LoopingVideo.h"
#include "ui/OverscrollStretch.h"
#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

FullScreenHero::FullScreenHero(const std::optional<QUrl>& poster, QWidget* parent)
    : QWidget(parent), poster_(new CachedAsyncImage(this)), video_(new LoopingVideo(this)), loading_(new LoadingIndicator(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    poster_->setUrl(poster.value_or(QUrl()));
    loading_->hide();
    connect(&videoOpacity_, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

int FullScreenHero::fadeHeight(int height) { return std::max(int(height * 0.18 - 100), 50); }

void FullScreenHero::setLoading(bool loading)
{
    loadingWanted_ = loading;
    updateLoadingIndicator();
}

void FullScreenHero::setVideoReady(bool ready)
{
    if (ready == videoReady_)
        return;
    videoReady_ = ready;
    videoOpacity_.animateTo(ready ? 1 : 0, AnimatedValue::Curve::easeInOut(kVideoFadeMs));
    updateLoadingIndicator();
}

void FullScreenHero::setCoveredBottom(int height) { loading_->setContentsMargins(0, 0, 0, std::max(height, 0)); }

void FullScreenHero::updateLoadingIndicator()
{
    loading_->setVisible(loadingWanted_ && !videoReady_);
}

void FullScreenHero::resizeEvent(QResizeEvent*)
{
    loading_->setGeometry(rect());
}

void FullScreenHero::setPull(double pull)
{
    if (pull == pull_)
        return;
    pull_ = pull;
    update();
}

void FullScreenHero::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area(rect());
    painter.fillRect(area, Theme::appBackgroundColor());
    painter.setTransform(OverscrollStretch::stretchTransform(area, pull_));
    poster_->paint(painter, area);
    if (videoReady_) {
        painter.setOpacity(videoOpacity_.value());
        video_->paint(painter, area);
        painter.setOpacity(1);
    }
    const int fade = fadeHeight(height());
    QLinearGradient gradient(0, height() - fade, 0, height());
    const QColor background = Theme::appBackgroundColor();
    gradient.setColorAt(0, Theme::withOpacity(background, 0));
    gradient.setColorAt(1.0 / 3, Theme::withOpacity(background, 0.35));
    gradient.setColorAt(2.0 / 3, Theme::withOpacity(background, 0.75));
    gradient.setColorAt(1, background);
    painter.fillRect(QRectF(0, height() - fade, width(), fade), gradient);
}
