#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QUrl>

#include <functional>

class QPainter;
class QRectF;
class QWidget;
class VideoPlayer;
class VideoPlayerPool;

// A silent video that loops without end, painted by the widget that owns its shape (a card, a
// carousel slide) over its own poster: paint() draws nothing until the first frame of the current
// address, so the poster shows through until then, and again if the video never plays. It runs
// only while its owner wants it and the host widget can be seen, and holds no player while the
// host is off the screen (a minimised window keeps a paused one); a new address starts a new
// source. Players come from a pool that keeps a handful alive: a video whose player was taken
// gets one back the next time it is asked to run. GUI thread only; owned by its host.
class LoopingVideo : public QObject {
    Q_OBJECT
public:
    explicit LoopingVideo(QWidget* host);
    LoopingVideo(QWidget* host, VideoPlayerPool& pool);
    ~LoopingVideo() override;

    // The same address again keeps the running video; an empty one drops the player.
    void setUrl(const QUrl& url);
    QUrl url() const { return url_; }

    // The owner's wish; the video also stops while the host cannot be seen.
    void setPlaying(bool playing);
    bool wantsToPlay() const { return wantsToPlay_; }
    // True while a player runs the video (it may not have a frame yet).
    bool isRunning() const;
    bool hasPlayer() const { return player_ != nullptr; }

    // Whether the owner draws the video now (yes unless told). One that plays on out of sight,
    // such as a layer faded out, neither draws its frames nor repaints the host for them.
    void setShown(bool shown);

    // Called for each new frame in place of a repaint of the host: an owner that can put the
    // frame on the screen itself does so and says true; false repaints the host as usual.
    void setPresenter(std::function<bool()> present) { present_ = std::move(present); }

    // Frames are drawn at the host's size unless the owner paints them into a part of it: then
    // at that part's size, so a frame needs no scaling on its way to the screen.
    void setFrameSize(const QSize& size);

    // True from the first frame of the current address on.
    bool isReady() const { return ready_; }

    // The current frame, at the size the owner asked for (but for a moment after a resize); null
    // before the first frame. A shallow image over the player's pixels: paint it, do not keep it.
    QImage frame() const;

    // Fills `target` with the current frame, scaled to fill and cropped; false, painting
    // nothing, before the first frame.
    bool paint(QPainter& painter, const QRectF& target) const;

Q_SIGNALS:
    void readyChanged(bool ready);
    // The current address cannot be played (missing, not a video, unreachable).
    void failed(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isSeen() const;
    void updatePlayback();
    void makePlayer();
    void dropPlayer();
    void setReady(bool ready);
    void watchWindow();
    QSize frameSize() const;
    void applyTargetSize();

    QPointer<QWidget> host_;
    VideoPlayerPool& pool_;
    QUrl url_;
    bool wantsToPlay_ = false;
    bool ready_ = false;
    bool shown_ = true;
    VideoPlayer* player_ = nullptr;
    QPointer<QWidget> watchedWindow_;
    QSize frameSize_;
    std::function<bool()> present_;
};
