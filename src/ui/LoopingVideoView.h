#pragma once

#include <QWidget>

class LoopingVideo;
class QUrl;
class VideoPlayerPool;

// A looping silent video as a rectangular widget of its own (playlist cards, sheets, the
// full-screen view): transparent until the first frame, so what lies beneath shows through; paused
// while hidden. Views that clip the video to a shape of their own paint a LoopingVideo instead.
class LoopingVideoView : public QWidget {
    Q_OBJECT
public:
    explicit LoopingVideoView(QWidget* parent = nullptr);
    LoopingVideoView(VideoPlayerPool& pool, QWidget* parent = nullptr);

    LoopingVideo* video() const { return video_; }
    void setUrl(const QUrl& url);
    void setPlaying(bool playing);
    bool isReady() const;

Q_SIGNALS:
    void readyChanged(bool ready);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LoopingVideo* video_;
};
