#pragma once

#include <QWidget>

// The one background of floating controls (bars, toasts, fields, back buttons): a translucent
// dark fill clipped to a rounded rectangle, with a thin light rim that fades from the top-left
// to the bottom-right corner. Usable as a painter call inside a composite widget, or as a plain
// widget that hosts child controls on top of it.
class GlassBackground : public QWidget {
    Q_OBJECT

public:
    explicit GlassBackground(qreal cornerRadius, QWidget* parent = nullptr);

    qreal cornerRadius() const { return cornerRadius_; }
    // Solid: nothing beneath shows through (a panel over busy content); translucent unless set.
    void setSolid(bool solid);

    // The rounded outline of `rect`; corners never exceed half the shorter side, so a large
    // radius gives a pill.
    static QPainterPath shape(const QRectF& rect, qreal cornerRadius);
    // Fills and rims `rect`. Leaves the painter as it found it.
    static void paint(QPainter& painter, const QRectF& rect, qreal cornerRadius, bool solid = false);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal cornerRadius_;
    bool solid_ = false;
};
