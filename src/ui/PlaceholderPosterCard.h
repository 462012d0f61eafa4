#pragma once

#include "ui/AnimatedValue.h"

#include <QWidget>

// The 16:9 loading card with a moving shimmer, shown while a poster loads and in grids whose
// first page has not arrived. The shimmer runs while the card is shown and restarts from its
// first position each time the card is shown again. Draws shapes only, so many can run at once.
class PlaceholderPosterCard : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal kCornerRadius = 26;
    static constexpr qreal kShimmerStart = -200;
    static constexpr qreal kShimmerEnd = 400;
    static constexpr int kShimmerCycleMs = 1500;

    // The dark variant has a solid dark base, white shimmer and white edge; the light one a
    // faint diagonal base, faint shimmer and dark edge.
    explicit PlaceholderPosterCard(bool softBlackLoadingBase, QWidget* parent = nullptr);

    bool softBlackLoadingBase() const { return softBlackLoadingBase_; }
    // The shimmer's horizontal offset from the card's leading edge.
    qreal shimmerOffset() const { return shimmer_.value(); }
    // The shimmer's clock, for stepping it by hand.
    AnimatedValue& shimmer() { return shimmer_; }

    // Paints a placeholder into `rect`; the poster card draws it under a loading poster.
    static void paint(QPainter& painter, const QRectF& rect, bool softBlackLoadingBase, qreal shimmerOffset);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool softBlackLoadingBase_;
    AnimatedValue shimmer_;
};
