#pragma once

#include "platform/FramePresenter.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class WaylandConnection;
class WaylandLayerSurface;

// One display's desktop video on a Wayland compositor: keeps a background-layer surface on the
// output of the display's connector name while shown, makes it when the output appears (or
// comes back after the compositor closed the surface) and drops it, with its buffers, when the
// output goes. Tells when the video there can be seen: a surface is configured, the
// compositor's frame callbacks still come, and no other program's picture is drawn over it.
class WaylandDesktopBackground : public QObject, public FramePresenter {
    Q_OBJECT
public:
    explicit WaylandDesktopBackground(WaylandConnection& connection, QObject* parent = nullptr);
    ~WaylandDesktopBackground() override;

    void setOutputName(const QString& name);
    QString outputName() const { return outputName_; }
    // Surfaces exist only while shown.
    void setShown(bool shown);

    bool hasSurface() const { return surface_ != nullptr; }
    bool isSeen() const { return seen_; }
    // The output's scale: frames are drawn at the surface size times this.
    int scale() const { return scale_; }

    bool present(const std::shared_ptr<const VideoFrameBuffer>& frame, QPoint at) override;

Q_SIGNALS:
    void seenChanged(bool seen);
    void scaleChanged(int scale);

private:
    void sync();
    void dropSurface();
    void updateSeen();

    QPointer<WaylandConnection> connection_;
    QString outputName_;
    bool shown_ = false;
    std::unique_ptr<WaylandLayerSurface> surface_;
    bool seen_ = false;
    int scale_ = 1;
};
