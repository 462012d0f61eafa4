#pragma once

#include "ui/FilterChip.h"

// The chip that leads to the lock-screen exclusives: a dark gradient capsule with a blue "NEW"
// badge over its top-right corner. The badge reaches past the capsule, so the widget is larger
// than the capsule by the badge's overhang; only the capsule takes clicks.
class LockscreenExclusiveChip : public FilterChip {
    Q_OBJECT

public:
    explicit LockscreenExclusiveChip(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // Where the badge sits inside the widget.
    QRectF badgeRect() const;

protected:
    QRectF capsuleRect() const override;
    void paintEvent(QPaintEvent* event) override;
};
