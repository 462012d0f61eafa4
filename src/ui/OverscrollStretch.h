#pragma once

#include "ui/AnimatedValue.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QTransform>

class QAbstractScrollArea;
class QWheelEvent;

// Qt's scroll areas stop dead at their top; this gives a page the pull-down its hero answers. A
// wheel or touchpad scroll upwards while the area is at its top pulls instead of scrolling
// (harder the further it goes), a scroll downwards takes the pull back first, and once the
// scrolling stops the pull springs back to rest. The hero draws its picture through
// stretchTransform(). Attached to one area for that area's life. GUI thread.
class OverscrollStretch : public QObject {
    Q_OBJECT

public:
    // Quiet this long after the last wheel step, the pull is let go.
    static constexpr int kReleaseMs = 150;
    // The farthest pull, as a share of the area's height.
    static constexpr double kMaxPullShare = 0.4;

    explicit OverscrollStretch(QAbstractScrollArea* area);

    // How far the page is pulled down past its top, in pixels; 0 at rest.
    double pull() const;
    bool isPulled() const { return pull() > 0; }

    // Scales `picture` by 1 + pull / its height about its top centre: pulled down, the picture
    // grows from its top edge. The identity at rest.
    static QTransform stretchTransform(const QRectF& picture, double pull);

Q_SIGNALS:
    void pullChanged(double pull);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takeWheel(const QWheelEvent& wheel);
    void release();

    QPointer<QAbstractScrollArea> area_;
    AnimatedValue pull_;
    QTimer release_;
};
