#pragma once

#include "ui/AnimatedValue.h"

#include <QColor>
#include <QWidget>

// The indeterminate progress wheel: twelve spokes whose brightness runs round once a second.
// It turns only while shown, so a hidden wheel costs nothing.
class Spinner : public QWidget {
    Q_OBJECT

public:
    // The wheel's natural diameter, before any scale.
    static constexpr int kDiameter = 32;

    explicit Spinner(qreal scale = 1.0, QColor color = Qt::white, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    qreal scale_;
    QColor color_;
    AnimatedValue phase_;
    int lit_ = 0; // the brightest spoke
};
