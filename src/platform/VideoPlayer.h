#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QUrl>

#include <atomic>
#include <memory>

struct mpv_handle;
struct mpv_event;
struct mpv_render_context;
class VideoFrameBuffer;
class VideoRenderThread;

// A silent, endlessly looping video played by one libmpv core and drawn by its software
// renderer into images that a widget paints (see VideoSurface) or a view draws itself.
// Lives on the GUI thread. Frames are drawn on a render thread of the player; libmpv events are
// drained on the GUI thread, and every command sent from there is asynchronous, so nothing here
// waits on mpv or the network.
//
// A player whose core could not start reports error() for every load and otherwise does nothing.
class VideoPlayer : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool paused READ isPaused WRITE setPaused NOTIFY pausedChanged)
public:
    explicit VideoPlayer(QObject* parent = nullptr);
    ~VideoPlayer() override;

    // Starts the video at `url` (a local file, or an http or https address) in place of the
    // current one. ready() follows with its first frame, or error() when it cannot be played.
    // An empty URL stops playback.
    void load(const QUrl& url);
    QUrl url() const { return url_; }

    // A paused player decodes nothing; the last frame stays available.
    void setPaused(bool paused);
    bool isPaused() const { return paused_; }

    // Frames are drawn at `size` × `devicePixelRatio` device pixels, scaled to fill and cropped
    // to keep the video's aspect ratio. Nothing is drawn while the size is empty.
    void setTargetSize(QSize size, qreal devicePixelRatio);

    // True from the first frame of the current video until the next load().
    bool isReady() const { return ready_; }

    // The last frame drawn (null before the first), opaque Format_RGB32. A shallow image over
    // the player's pixels, which are drawn over again a couple of frames later: copy() it to keep
    // it beyond the next frameReady().
    QImage currentFrame() const { return frame_; }
    // The memory behind currentFrame(), for a view that hands it to the window system whole.
    std::shared_ptr<const VideoFrameBuffer> currentBuffer() const { return displayed_; }

    // Frames mpv handed over for display since the player was made: a steady stream while
    // playing, none while paused beyond a redraw after a resize.
    quint64 frameCount() const { return frameCount_; }

    // Waits up to `ms` for the players let go so far to finish their teardown (libmpv's end runs
    // behind, off the GUI thread); false while one is still under way, as one can be for
    // seconds while libmpv probes a stream that never ends. GUI thread.
    static bool waitForTeardowns(int ms);

Q_SIGNALS:
    void frameReady();
    // The first frame of the current video is available; once per load().
    void ready();
    void error(const QString& message);
    void pausedChanged(bool paused);

private:
    bool startCore();
    static void onWakeup(void* self);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void takeFrame();
    void fail(const QString& reason);
    QString failureText(const QString& reason) const;

    mpv_handle* mpv_ = nullptr;
    mpv_render_context* renderContext_ = nullptr;
    std::unique_ptr<VideoRenderThread> renderThread_;
    std::atomic<bool> drainPosted_ = false;

    QUrl url_;
    bool paused_ = false;
    QSize targetPixels_;
    qreal devicePixelRatio_ = 1.0;

    // Matches mpv's events to the latest load(): replies carry its number, file events the
    // playlist entry that mpv created for it.
    quint64 loadRequest_ = 0;
    qint64 entryId_ = -1;
    qint64 startedEntryId_ = -1;
    bool fileLoaded_ = false;
    bool ready_ = false;

    std::shared_ptr<VideoFrameBuffer> displayed_;
    QImage frame_;
    quint64 frameCount_ = 0;
};
