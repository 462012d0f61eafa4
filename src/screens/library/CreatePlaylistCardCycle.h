#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

#include <array>
#include <memory>
#include <optional>

class RotationTimer;

// The create-playlist card's cross-fade through its wallpapers, apart from the card's painting.
// Two layers: the front one shows the current wallpaper, the hidden one loads the next. Every
// 2 s, once the hidden layer's video can play, it fades in over 0.5 s; then the layers swap and
// the hidden one moves on to the wallpaper after the new current one. A layer's ready flag is
// cleared only when its video really changes, so the cycle goes on with two wallpapers (or two
// equal addresses in a row), whose hidden layer keeps the video it had. GUI thread only.
class CreatePlaylistCardCycle : public QObject {
    Q_OBJECT

public:
    static constexpr int kCycleIntervalMs = 2000;
    static constexpr int kCrossfadeMs = 500;

    // Real timers.
    explicit CreatePlaylistCardCycle(QObject* parent = nullptr);
    // `cycle` fires every 2 s, `swap` once 0.5 s after a fade began (it is stopped at its firing).
    CreatePlaylistCardCycle(std::unique_ptr<RotationTimer> cycle, std::unique_ptr<RotationTimer> swap,
        QObject* parent = nullptr);
    ~CreatePlaylistCardCycle() override;

    // New lists; the cycle starts over when it runs.
    void setMedia(const QList<QUrl>& videos, const QList<QUrl>& posters);
    // The card came on screen: starts at wallpaper 0 on layer 0 when it can cycle (a video and at
    // least two wallpapers).
    void start();
    // The card left the screen.
    void stop();
    bool isRunning() const;

    // The number of wallpapers: the longer of the two lists.
    int length() const;
    int currentIndex() const { return currentIndex_; }
    int visibleLayer() const { return visibleLayer_; }
    // The wallpaper a layer shows: the front one the current, the hidden one the next.
    int indexOfLayer(int layer) const;
    // What a layer plays and shows until then; empty when there is none.
    QUrl videoOfLayer(int layer) const;
    QUrl posterOfLayer(int layer) const;

    // The layer's player reports whether its video can play.
    void setLayerReady(int layer, bool ready);
    bool isLayerReady(int layer) const { return ready_.at(layer); }
    // Where each layer's opacity goes (the card animates towards it during a fade).
    qreal targetOpacity(int layer) const { return opacity_.at(layer); }
    bool isFading() const { return fading_; }

Q_SIGNALS:
    // The hidden layer began to fade in.
    void crossfadeStarted();
    // The layers swapped, or the cycle (re)started: what each layer shows may have changed.
    void layersChanged();

private:
    void tick();
    void swap();

    std::unique_ptr<RotationTimer> cycle_;
    std::unique_ptr<RotationTimer> swap_;
    QList<QUrl> videos_;
    QList<QUrl> posters_;
    int currentIndex_ = 0;
    int visibleLayer_ = 0;
    std::array<bool, 2> ready_{false, false};
    std::array<qreal, 2> opacity_{1.0, 0.0};
    bool fading_ = false;
};
