#pragma once

#include <QWidget>

class VideoSurface;
class WaylandDesktopBackground;

// One display's live wallpaper: a frameless top-level window that covers the display at the
// desktop level, on every workspace, outside task bars, letting every click through to the
// desktop below, and showing a looping video that fills it. Without a window manager it keeps
// itself below every other window.
// On Wayland no Qt window can go below the others: the widget is never put on screen there, and
// its frames go to a background-layer surface on the display's output instead (while shown).
class DesktopVideoWindow : public QWidget {
    Q_OBJECT
public:
    DesktopVideoWindow();
    ~DesktopVideoWindow() override;

    // Moves and resizes the window to cover a display (global coordinates, logical pixels).
    void setScreenGeometry(const QRect& geometry);

    VideoSurface* surface() const { return surface_; }
    // The Wayland surface that shows the video; null on X11.
    WaylandDesktopBackground* waylandBackground() const { return background_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    VideoSurface* surface_;
    WaylandDesktopBackground* background_ = nullptr;
};
