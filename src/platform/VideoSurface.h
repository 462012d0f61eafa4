#pragma once

#include <QPointer>
#include <QWidget>

class QUrl;
class VideoPlayer;

// Shows a silent looping video, scaled to fill and cropped, black until its first frame.
// It only paints the player's last frame; drawing happens on the player's render thread.
// Decoding stops whenever the surface cannot be seen (hidden, or its window minimized) and
// resumes when it can again, unless its owner paused it.
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
    void updateTargetSize();

    VideoPlayer* player_;
    bool paused_ = false;
    // A spontaneous hide (the window system unmapped us) leaves isVisible() true.
    bool hiddenBySystem_ = false;
    QPointer<QWidget> watchedWindow_;
};
