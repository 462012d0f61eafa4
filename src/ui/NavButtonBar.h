#pragma once

#include "ui/PaintCache.h"

#include <QWidget>

class NavIconButton;
class QPainter;
class QRectF;

// The small floating bar that holds navigation buttons: a 7-pixel ring of glass around them,
// rounded with radius 34 and finished with a hairline white edge. The search button sits in a
// bar of its own; upload and settings share one, 8 pixels apart.
class NavButtonBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRing = 7;
    static constexpr int kSpacing = 8;
    static constexpr qreal kCornerRadius = 34;

    // Takes the buttons as children, left to right.
    explicit NavButtonBar(const QList<NavIconButton*>& buttons, QWidget* parent = nullptr);

    // The glass pill with its hairline edge, filling `rect`; the top bars all wear it.
    static void paintBackground(QPainter& painter, const QRectF& rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PaintCache cache_;
};
