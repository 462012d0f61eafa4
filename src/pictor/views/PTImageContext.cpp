#include "pictor/views/PTImageContext.h"

#include "pictor/processing/ImageProcessor.h"
#include "pictor/retrieval/PictorManager.h"

namespace pictor {

PTImageContext::PTImageContext(std::optional<Source> source) : source_(std::move(source))
{
    // Declarative views read disk-cached images at once, so a cached image shows without a blank frame.
    options_ = PictorManager::shared()->parsedOptions(QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::loadDiskFileSynchronously()});
}

PictorParsedOptionsInfo PTImageContext::options() const { return get(options_); }
void PTImageContext::setOptions(PictorParsedOptionsInfo options) { put(options_, std::move(options)); }
QList<PTImageContext::Configuration> PTImageContext::configurations() const { return get(configurations_); }
void PTImageContext::setConfigurations(QList<Configuration> configurations) { put(configurations_, std::move(configurations)); }
QList<PTImageContext::RenderConfiguration> PTImageContext::renderConfigurations() const { return get(renderConfigurations_); }
void PTImageContext::setRenderConfigurations(QList<RenderConfiguration> configurations) { put(renderConfigurations_, std::move(configurations)); }
PTImageContext::ContentConfiguration PTImageContext::contentConfiguration() const { return get(contentConfiguration_); }
void PTImageContext::setContentConfiguration(ContentConfiguration configuration) { put(contentConfiguration_, std::move(configuration)); }
PTImageContext::PlaceholderFactory PTImageContext::placeholder() const { return get(placeholder_); }
void PTImageContext::setPlaceholder(PlaceholderFactory placeholder) { put(placeholder_, std::move(placeholder)); }
PTImageContext::FailureViewFactory PTImageContext::failureView() const { return get(failureView_); }
void PTImageContext::setFailureView(FailureViewFactory failureView) { put(failureView_, std::move(failureView)); }
bool PTImageContext::cancelOnDisappear() const { return get(cancelOnDisappear_); }
void PTImageContext::setCancelOnDisappear(bool on) { put(cancelOnDisappear_, on); }
bool PTImageContext::reducePriorityOnDisappear() const { return get(reducePriorityOnDisappear_); }
void PTImageContext::setReducePriorityOnDisappear(bool on) { put(reducePriorityOnDisappear_, on); }
bool PTImageContext::startLoadingBeforeViewAppear() const { return get(startLoadingBeforeViewAppear_); }
void PTImageContext::setStartLoadingBeforeViewAppear(bool on) { put(startLoadingBeforeViewAppear_, on); }

bool PTImageContext::shouldApplyTransition(CacheType cacheType) const
{
    return options().forceTransition || cacheType == CacheType::none;
}

std::optional<double> PTImageContext::fadeDuration(CacheType cacheType) const
{
    if (!shouldApplyTransition(cacheType))
        return std::nullopt;
    return options().transition.fadeDuration;
}

bool PTImageContext::operator==(const PTImageContext& other) const
{
    return source_ == other.source_ && options().processor->identifier() == other.options().processor->identifier();
}

} // namespace pictor
