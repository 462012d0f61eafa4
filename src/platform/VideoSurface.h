#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class FramePresenter;
class QUrl;
class QWindow;
class VideoPlayer;
class X11WindowVisibility;

// Shows a silent looping video, scaled to fill and cropped, black until its first frame.
// It only paints the player's last frame; drawing happens on the player's render thread.
// Decoding stops whenever the surface cannot be seen (hidden, its window minimized, or reported
// fully covered by the X server or the compositor) and resumes where it was when it can again, unless its owner
// paused it.
class VideoSurface : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool paused READ isPaused WRITE setPaused NOTIFY pausedChanged)
public:
    explicit VideoSurface(QWidget* parent = nullptr);
    ~VideoSurface() override;

    void load(const QUrl& url);

    // The owner's wish; the video also stops while the surface cannot be seen.
    void setPaused(bool paused);
    bool isPaused() const { return paused_; }

    // True once the first frame of the current video is shown.
    bool isReady() const;
    VideoPlayer* player() const { return player_; }

    // Frames go from the player's memory to the window through the X server (X11FramePresenter)
    // instead of being painted into Qt's backing store first, which saves a copy of every frame.
    // Only for a surface that fills its window and that nothing in it overlaps: while frames go
    // this way, Qt paints nothing of the window, so it keeps no backing store of the window's
    // size; the server fills what no frame covers yet with black. Qt paints it where the server
    // cannot take frames this way, and on other platforms.
    void setPresentsDirectly(bool direct);
    // For a surface whose pixels no Qt window shows (a Wayland background surface takes them):
    // frames go to this presenter, which the caller owns, instead of the window's.
    void setFramePresenter(FramePresenter* presenter);
    // What the window system says of where the frames go: covered, the video stops.
    void setCovered(bool covered);
    // Device pixels per unit when the window is not Qt's to know (0: the widget's own).
    void setPixelRatio(qreal ratio);

Q_SIGNALS:
    void ready();
    void error(const QString& message);
    void pausedChanged(bool paused);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isSeen() const;
    void updatePlayback();
    void watchWindow();
    void watchNativeWindow();
    void updateTargetSize();
    void showFrame();
    bool presentFrame();
    bool makePresenter();
    void setWindowPainted(bool painted);
    qreal pixelRatio() const;

    VideoPlayer* player_;
    bool paused_ = false;
    // A spontaneous hide (the window system unmapped us) leaves isVisible() true.
    bool hiddenBySystem_ = false;
    QPointer<QWidget> watchedWindow_;
    QPointer<QWindow> nativeWindow_;
    QPointer<X11WindowVisibility> visibility_;
    bool presentsDirectly_ = false;
    std::unique_ptr<FramePresenter> presenter_;
    FramePresenter* givenPresenter_ = nullptr;
    bool covered_ = false;
    qreal pixelRatio_ = 0;
    // The native window the presenter was made for (0: none tried yet, or it failed).
    WId presenterWindow_ = 0;
    bool presenterFailed_ = false;
    // Whether this surface turned its window's painting off.
    bool windowUnpainted_ = false;
};
