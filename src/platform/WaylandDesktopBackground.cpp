#include "platform/WaylandDesktopBackground.h"

#include "platform/SwayBackgroundOrder.h"
#include "platform/VideoFrameBuffer.h"
#include "platform/WaylandConnection.h"
#include "platform/WaylandLayerSurface.h"
#include "platform/WaylandOutput.h"

WaylandDesktopBackground::WaylandDesktopBackground(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(&connection)
{
    connect(&connection, &WaylandConnection::outputsChanged, this, &WaylandDesktopBackground::sync);
    connect(&connection.backgroundOrder(), &SwayBackgroundOrder::coveredChanged, this, &WaylandDesktopBackground::updateSeen);
}

WaylandDesktopBackground::~WaylandDesktopBackground() = default;

void WaylandDesktopBackground::setOutputName(const QString& name)
{
    if (outputName_ == name)
        return;
    outputName_ = name;
    dropSurface();
    sync();
}

void WaylandDesktopBackground::setShown(bool shown)
{
    if (shown_ == shown)
        return;
    shown_ = shown;
    sync();
}

bool WaylandDesktopBackground::present(const std::shared_ptr<const VideoFrameBuffer>& frame, QPoint)
{
    return frame && surface_ && surface_->present(frame);
}

void WaylandDesktopBackground::sync()
{
    const WaylandOutput* output = connection_ && shown_ ? connection_->output(outputName_) : nullptr;
    if (!output || !connection_->canShowBackgrounds()) {
        dropSurface();
        return;
    }
    if (output->scale() != scale_) {
        scale_ = output->scale();
        Q_EMIT scaleChanged(scale_);
    }
    if (surface_)
        return;
    connection_->backgroundOrder().surfaceMade();
    surface_ = std::make_unique<WaylandLayerSurface>(*connection_, *output);
    connect(surface_.get(), &WaylandLayerSurface::configured, this, [this] {
        if (connection_)
            connection_->backgroundOrder().surfaceShown();
        updateSeen();
    });
    connect(surface_.get(), &WaylandLayerSurface::stalledChanged, this, &WaylandDesktopBackground::updateSeen);
    // Made again only when the output is (back) there: a closed surface waits for the next change.
    connect(surface_.get(), &WaylandLayerSurface::closed, this, [this, closed = surface_.get()] {
        if (surface_.get() == closed)
            dropSurface();
    }, Qt::QueuedConnection);
    updateSeen();
}

void WaylandDesktopBackground::dropSurface()
{
    surface_.reset();
    updateSeen();
}

void WaylandDesktopBackground::updateSeen()
{
    // The compositor's frame callbacks say whether it draws the surface: sway sends none to the
    // background of an output whose visible workspace has a full-screen window, and goes on
    // sending them while that window is on a workspace out of sight. A list of full-screen
    // windows cannot tell the two apart. Another program's picture that sway draws over ours
    // leaves the callbacks coming: that one is looked for apart.
    const bool seen = connection_ && surface_ && surface_->isConfigured() && !surface_->isStalled()
        && !connection_->backgroundOrder().isCovered();
    if (seen == seen_)
        return;
    seen_ = seen;
    Q_EMIT seenChanged(seen_);
}
