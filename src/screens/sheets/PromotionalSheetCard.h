#pragma once

#include <QColor>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class LoopingVideo;
class SymbolButton;
class VideoPlayerPool;

// The frame of promotional sheets: a card of fixed width with a banner on top (in the welcome
// style a looping silent video, or a grey placeholder without one, in a frame of ratio 1.6 with
// rounded corners), a row over the banner holding an optional round close button on the left
// and an accessory on the right, and the caller's content below. A positive corner radius rounds
// and outlines the card; 0 or less leaves it square. GUI thread.
class PromotionalSheetCard : public QWidget {
    Q_OBJECT

public:
    enum class BannerStyle { welcome };

    struct Options {
        std::optional<QUrl> videoURL;
        BannerStyle bannerStyle = BannerStyle::welcome;
        int width = 440;
        qreal cornerRadius = 0;
        std::function<void()> onClose; // none: no close button
        int welcomeBannerPadding = 22;
        QColor cardBackgroundColor;    // invalid: the application's background
    };

    static constexpr qreal kBannerAspect = 1.6;
    static constexpr qreal kBannerCorner = 20;

    // Takes `content` and `topTrailing` (either may be null) as children.
    PromotionalSheetCard(const Options& options, QWidget* content, QWidget* topTrailing = nullptr, QWidget* parent = nullptr);
    PromotionalSheetCard(const Options& options, QWidget* content, QWidget* topTrailing, VideoPlayerPool& players,
        QWidget* parent = nullptr);

    // Where the banner's media sits, in the card's coordinates.
    QRectF bannerRect() const;
    // The banner shows video frames (not the placeholder).
    bool isShowingVideo() const;
    SymbolButton* closeButton() const { return close_; }
    LoopingVideo* video() const { return video_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int bannerHeight() const;
    void placeTopRow();

    Options options_;
    QWidget* topTrailing_;
    SymbolButton* close_ = nullptr;
    LoopingVideo* video_ = nullptr;
};
