#pragma once

#include "pictor/cache/CacheType.h"
#include "pictor/core/Delegate.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/retrieval/RetrieveImageResult.h"
#include "pictor/retrieval/Source.h"

#include <QList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QWidget;

namespace pictor {

class AnimatedImageView;
class ImageView;
class PTImageBinder;

// The settings of one declarative image view: what to load, with which options, how the image
// view is configured, what shows while loading or after a failure, and when loading starts and
// stops. Written by the view's modifiers, read by its renderer and binder; fields are guarded.
// Its identity (operator==) is the source and the processor: a new identity loads again.
class PTImageContext {
public:
    using Configuration = std::function<void(ImageView&)>;
    using RenderConfiguration = std::function<void(AnimatedImageView&)>;
    // Wraps the configured image view into the widget that is shown (it takes the view as child).
    using ContentConfiguration = std::function<QWidget*(ImageView*)>;
    // Made when the placeholder layer is needed; the binder reports progress to it.
    using PlaceholderFactory = std::function<QWidget*(PTImageBinder*)>;
    using FailureViewFactory = std::function<QWidget*()>;

    explicit PTImageContext(std::optional<Source> source);

    const std::optional<Source>& source() const { return source_; }

    PictorParsedOptionsInfo options() const;
    void setOptions(PictorParsedOptionsInfo options);
    QList<Configuration> configurations() const;
    void setConfigurations(QList<Configuration> configurations);
    QList<RenderConfiguration> renderConfigurations() const;
    void setRenderConfigurations(QList<RenderConfiguration> configurations);
    ContentConfiguration contentConfiguration() const;
    void setContentConfiguration(ContentConfiguration configuration);
    PlaceholderFactory placeholder() const;
    void setPlaceholder(PlaceholderFactory placeholder);
    FailureViewFactory failureView() const;
    void setFailureView(FailureViewFactory failureView);
    bool cancelOnDisappear() const;
    void setCancelOnDisappear(bool on);
    bool reducePriorityOnDisappear() const;
    void setReducePriorityOnDisappear(bool on);
    bool startLoadingBeforeViewAppear() const;
    void setStartLoadingBeforeViewAppear(bool on);

    // A newly loaded image fades in only when it did not come from a cache, or when forced.
    bool shouldApplyTransition(CacheType cacheType) const;
    std::optional<double> fadeDuration(CacheType cacheType) const;

    bool operator==(const PTImageContext& other) const;

    const std::shared_ptr<Delegate<void(PictorError)>> onFailureDelegate = std::make_shared<Delegate<void(PictorError)>>();
    const std::shared_ptr<Delegate<void(RetrieveImageResult)>> onSuccessDelegate = std::make_shared<Delegate<void(RetrieveImageResult)>>();
    const std::shared_ptr<Delegate<void(qint64, qint64)>> onProgressDelegate = std::make_shared<Delegate<void(qint64, qint64)>>();

private:
    template <typename T>
    T get(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }
    template <typename T>
    void put(T& field, T value)
    {
        std::lock_guard lock(mutex_);
        field = std::move(value);
    }

    const std::optional<Source> source_;
    mutable std::mutex mutex_;
    PictorParsedOptionsInfo options_;
    QList<Configuration> configurations_;
    QList<RenderConfiguration> renderConfigurations_;
    ContentConfiguration contentConfiguration_;
    PlaceholderFactory placeholder_;
    FailureViewFactory failureView_;
    bool cancelOnDisappear_ = false;
    bool reducePriorityOnDisappear_ = false;
    bool startLoadingBeforeViewAppear_ = false;
};

} // namespace pictor
