#pragma once

#include "pictor/views/AnimatedImageView.h"
#include "pictor/views/PTImageViewBase.h"

namespace pictor {

// A declarative animated image: as PTImage, shown in an animated image view, which the
// render configurations set up (in order) before its image is set.
class PTAnimatedImage : public PTImageViewBase<PTAnimatedImage, AnimatedImageView> {
public:
    explicit PTAnimatedImage(std::optional<Source> source, QWidget* parent = nullptr) : PTImageViewBase(std::move(source), parent) {}
    explicit PTAnimatedImage(const QUrl& url, QWidget* parent = nullptr) : PTImageViewBase(urlSource(url), parent) {}

    // Set-up of the animated image view itself (repeat count, preload count, ...).
    PTAnimatedImage& renderConfigure(PTImageContext::RenderConfiguration configuration)
    {
        QList<PTImageContext::RenderConfiguration> all = context()->renderConfigurations();
        all.append(std::move(configuration));
        context()->setRenderConfigurations(std::move(all));
        return *this;
    }

protected:
    AnimatedImageView* makeHoldingView() const override
    {
        auto* view = new AnimatedImageView;
        for (const PTImageContext::RenderConfiguration& configure : context()->renderConfigurations())
            configure(*view);
        return view;
    }
};

} // namespace pictor
