#pragma once

#include "pictor/retrieval/ImageResource.h"
#include "pictor/views/PTImageContext.h"
#include "pictor/views/PTImageRenderer.h"
#include "pictor/views/PTOptionSetter.h"
#include "pictor/retrieval/RawImageDataProvider.h"

#include <QTimer>
#include <QWidget>

namespace pictor {

// What the two declarative image widgets share: one context written by the modifiers (each
// returns the widget, for chaining) and one renderer, made on the next turn of the event loop or
// when first shown, whichever comes first, so that modifiers chained after construction apply.
// Changing the source to one of another identity (source or processor) makes a new renderer,
// which loads again. GUI thread.
template <typename Derived, typename HoldingView>
class PTImageViewBase : public QWidget, public PTOptionSetter<Derived> {
public:
    explicit PTImageViewBase(std::optional<Source> source, QWidget* parent = nullptr)
        : QWidget(parent), context_(std::make_shared<PTImageContext>(std::move(source)))
    {
        QTimer::singleShot(0, this, [this] { ensureRenderer(); });
    }

    static Source urlSource(const QUrl& url, std::optional<QString> cacheKey = std::nullopt)
    {
        return ImageResource(url).convertToSource(std::move(cacheKey));
    }
    static Source dataSource(QByteArray data, const QString& cacheKey)
    {
        return Source::provider(std::make_shared<const RawImageDataProvider>(std::move(data), cacheKey));
    }

    const std::shared_ptr<PTImageContext>& context() const { return context_; }
    PTImageRenderer* renderer() const { return renderer_; }
    // Keeps every setting; reloads only when the identity changes.
    void setSource(std::optional<Source> source)
    {
        auto next = std::make_shared<PTImageContext>(std::move(source));
        next->setOptions(context_->options());
        next->setConfigurations(context_->configurations());
        next->setRenderConfigurations(context_->renderConfigurations());
        next->setContentConfiguration(context_->contentConfiguration());
        next->setPlaceholder(context_->placeholder());
        next->setFailureView(context_->failureView());
        next->setCancelOnDisappear(context_->cancelOnDisappear());
        next->setReducePriorityOnDisappear(context_->reducePriorityOnDisappear());
        next->setStartLoadingBeforeViewAppear(context_->startLoadingBeforeViewAppear());
        copyDelegates(*next);
        const bool same = *next == *context_;
        context_ = std::move(next);
        if (!same && renderer_) {
            delete renderer_;
            renderer_ = nullptr;
            ensureRenderer();
        }
    }

    PictorParsedOptionsInfo options() const { return context_->options(); }
    void setOptions(PictorParsedOptionsInfo options) { context_->setOptions(std::move(options)); }
    Delegate<void(PictorError)>& onFailureDelegate() { return *context_->onFailureDelegate; }
    Delegate<void(RetrieveImageResult)>& onSuccessDelegate() { return *context_->onSuccessDelegate; }
    Delegate<void(qint64, qint64)>& onProgressDelegate() { return *context_->onProgressDelegate; }

    Derived& configure(PTImageContext::Configuration configuration)
    {
        QList<PTImageContext::Configuration> all = context_->configurations();
        all.append(std::move(configuration));
        context_->setConfigurations(std::move(all));
        return self();
    }
    Derived& contentConfigure(PTImageContext::ContentConfiguration configuration)
    {
        context_->setContentConfiguration(std::move(configuration));
        return self();
    }
    Derived& placeholder(PTImageContext::PlaceholderFactory placeholder)
    {
        context_->setPlaceholder(std::move(placeholder));
        return self();
    }
    Derived& onFailureView(PTImageContext::FailureViewFactory failureView)
    {
        context_->setFailureView(std::move(failureView));
        return self();
    }
    Derived& cancelOnDisappear(bool on = true)
    {
        context_->setCancelOnDisappear(on);
        return self();
    }
    Derived& reducePriorityOnDisappear(bool on = true)
    {
        context_->setReducePriorityOnDisappear(on);
        return self();
    }
    Derived& startLoadingBeforeViewAppear(bool on = true)
    {
        context_->setStartLoadingBeforeViewAppear(on);
        return self();
    }
    Derived& fade(double seconds)
    {
        PictorParsedOptionsInfo changed = context_->options();
        changed.transition = ImageTransition::fade(seconds);
        context_->setOptions(std::move(changed));
        return self();
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        ensureRenderer();
        QWidget::showEvent(event);
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (renderer_)
            renderer_->setGeometry(rect());
    }
    virtual HoldingView* makeHoldingView() const
    {
        auto* view = new HoldingView;
        return view;
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    void copyDelegates(PTImageContext& next) const
    {
        next.onFailureDelegate->setBlock(context_->onFailureDelegate->block());
        next.onSuccessDelegate->setBlock(context_->onSuccessDelegate->block());
        next.onProgressDelegate->setBlock(context_->onProgressDelegate->block());
    }
    void ensureRenderer()
    {
        if (renderer_)
            return;
        renderer_ = new PTImageRenderer(context_, [this] { return makeHoldingView(); }, this);
        renderer_->setGeometry(rect());
        renderer_->show();
    }

    std::shared_ptr<PTImageContext> context_;
    PTImageRenderer* renderer_ = nullptr;
};

} // namespace pictor
