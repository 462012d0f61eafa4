#pragma once

#include "ui/AnimatedValue.h"

#include <QUrl>
#include <QWidget>

class CachedAsyncImage;
class LoadingIndicator;
class LoopingVideo;

// The picture of the full-screen view, one window in size: the poster at once, the loading veil
// while the preview is sought, the looping preview fading in over the poster once it plays, and a
// fade into the page colour along the bottom edge. Painted by this one widget; the report button
// and the foot bar float on it as children. GUI thread; a child of the view.
class FullScreenHero : public QWidget {
    Q_OBJECT

public:
    static constexpr int kVideoFadeMs = 280;

    explicit FullScreenHero(const std::optional<QUrl>& poster, QWidget* parent = nullptr);

    LoopingVideo* video() const { return video_; }
    CachedAsyncImage* poster() const { return poster_; }

    void setLoading(bool loading);
    // The preview shows from the moment it is ready, fading in.
    void setVideoReady(bool ready);
    // The page's pull-down past its top: the picture grows from its top edge; children stay.
    void setPull(double pull);
    double pull() const { return pull_; }

    // The height at the bottom that bars cover (the foot bar, the upload card): the loading
    // wheel and its words are centred in what is left above them.
    void setCoveredBottom(int height);

    // The fade at the bottom edge: 18% of the height less 100, at least 50.
    static int fadeHeight(int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateLoadingIndicator();

    CachedAsyncImage* poster_;
    LoopingVideo* video_;
    LoadingIndicator* loading_;
    AnimatedValue videoOpacity_;
    bool loadingWanted_ = false;
    bool videoReady_ = false;
    double pull_ = 0;
};
