#pragma once

#include "ui/FilterChip.h"

// One apply target in the display picker ("Both", "Desktop", "Lockscreen"): a small filter chip
// that is white with black text when chosen and dimmed, without hover or clicks, while its
// target cannot be chosen (the lock-screen feature is off).
class FullscreenApplyTargetChip : public FilterChip {
    Q_OBJECT

public:
    explicit FullscreenApplyTargetChip(const QString& title, QWidget* parent = nullptr);

    // What the chip shows right now.
    QColor chipTextColor() const;
    QColor chipFillColor() const;
    QColor outlineColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
