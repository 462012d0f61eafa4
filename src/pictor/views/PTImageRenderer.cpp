#include "pictor/views/PTImageRenderer.h"

#include "pictor/views/ImageView.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

namespace pictor {

PTImageRenderer::PTImageRenderer(std::shared_ptr<PTImageContext> context, HoldingViewFactory makeHoldingView, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), binder_(new PTImageBinder(this))
{
    holdingView_ = makeHoldingView();
    for (const PTImageContext::Configuration& configure : context_->configurations())
        configure(*holdingView_);
    const PTImageContext::ContentConfiguration wrap = context_->contentConfiguration();
    content_ = wrap ? wrap(holdingView_) : holdingView_;
    content_->setParent(this);
    content_->hide();
    connect(binder_, &PTImageBinder::changed, this, &PTImageRenderer::refresh);
    if (context_->startLoadingBeforeViewAppear() && !binder_->isLoading() && !binder_->loadedImage() && !binder_->isAnimating()) {
        binder_->setLoading(true);
        QTimer::singleShot(0, binder_, [binder = binder_, context = context_] { binder->start(context); });
    }
    refresh();
}

void PTImageRenderer::refresh()
{
    holdingView_->setImage(binder_->loadedImage());
    if (binder_->isLoaded() && content_->isHidden()) {
        content_->show();
        if (const std::optional<double> fade = binder_->fadeDuration(); fade && !fadedIn_)
            fadeIn(*fade);
    }
    if (binder_->loadedImage()) {
        delete placeholderLayer_;
        return;
    }
    if (!placeholderLayer_) {
        placeholderLayer_ = new QWidget(this);
        placeholderLayer_->setGeometry(rect());
        placeholderLayer_->show();
    }
    // The failure view replaces the placeholder once a failure set it.
    const bool failed = bool(binder_->failureView());
    if (!placeholderContent_ || failed != showingFailure_) {
        delete placeholderContent_;
        showingFailure_ = failed;
        const PTImageContext::PlaceholderFactory placeholder = context_->placeholder();
        placeholderContent_ = failed ? binder_->failureView()() : placeholder ? placeholder(binder_) : nullptr;
        if (placeholderContent_) {
            placeholderContent_->setParent(placeholderLayer_);
            placeholderContent_->setGeometry(placeholderLayer_->rect());
            placeholderContent_->show();
        }
    }
}

void PTImageRenderer::fadeIn(double seconds)
{
    fadedIn_ = true;
    auto* effect = new QGraphicsOpacityEffect(content_);
    effect->setOpacity(0.0);
    content_->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", content_);
    animation->setDuration(int(seconds * 1000));
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    // The effect renders the view off screen: it goes once faded in.
    connect(animation, &QPropertyAnimation::finished, content_, [content = content_] { content->setGraphicsEffect(nullptr); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PTImageRenderer::appear()
{
    if (!binder_->isLoading() && !binder_->loadedImage())
        binder_->start(context_);
    else if (context_->reducePriorityOnDisappear())
        binder_->restorePriorityOnAppear();
}

void PTImageRenderer::disappear()
{
    if (context_->cancelOnDisappear())
        binder_->cancel();
    else if (context_->reducePriorityOnDisappear() && binder_->isLoading())
        binder_->lowerPriorityOnDisappear();
}

void PTImageRenderer::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (placeholderLayer_)
        appear();
}

void PTImageRenderer::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (placeholderLayer_)
        disappear();
}

void PTImageRenderer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    content_->setGeometry(rect());
    if (placeholderLayer_) {
        placeholderLayer_->setGeometry(rect());
        if (placeholderContent_)
            placeholderContent_->setGeometry(placeholderLayer_->rect());
    }
}

} // namespace pictor
