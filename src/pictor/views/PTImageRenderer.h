#pragma once

#include "pictor/views/PTImageBinder.h"
#include "pictor/views/PTImageContext.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace pictor {

class ImageView;

// Draws a declarative image view: the image view (configured by the context) below a placeholder
// layer that shows while nothing is loaded: the failure view after a failure, else the context's
// placeholder. The placeholder layer appearing starts the load, disappearing cancels it (or
// lowers its priority), as the context says; a loaded image fades in when the options ask.
// Owns the binder. GUI thread.
class PTImageRenderer : public QWidget {
    Q_OBJECT
public:
    using HoldingViewFactory = std::function<ImageView*()>;

    PTImageRenderer(std::shared_ptr<PTImageContext> context, HoldingViewFactory makeHoldingView, QWidget* parent = nullptr);

    PTImageBinder* binder() const { return binder_; }
    ImageView* holdingView() const { return holdingView_; }
    // The placeholder layer, present while no image is loaded.
    QWidget* placeholderLayer() const { return placeholderLayer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void appear();
    void disappear();
    void fadeIn(double seconds);

    std::shared_ptr<PTImageContext> context_;
    PTImageBinder* binder_;
    ImageView* holdingView_ = nullptr;
    QWidget* content_ = nullptr;
    QPointer<QWidget> placeholderLayer_;
    QPointer<QWidget> placeholderContent_;
    bool showingFailure_ = false;
    bool fadedIn_ = false;
};

} // namespace pictor
