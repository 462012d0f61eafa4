#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

class NotificationManager;
class NotificationToast;
class QWidget;

// Shows the toast state of a NotificationManager over a host view: one card, kept in the host's
// bottom-right corner (28 from the right, 40 from the bottom, at most 220 wide), following every
// change of the manager's content and presentation. The card is the host's child, laid over what
// the host shows when the overlay is made; outside the card the host's own views keep the pointer.
// Where the corner would put the card over a control marked with keepClearOf() (a page's foot
// bar, say), the card rests just above that control instead, for as long as the control shows
// there. GUI thread; owned by the host.
class NotificationToastOverlay : public QObject {
    Q_OBJECT

public:
    static constexpr int kTrailing = 28;
    static constexpr int kBottom = 40;
    // Between the card and a control it rests above.
    static constexpr int kClearance = 12;

    NotificationToastOverlay(NotificationManager& manager, QWidget* host);
    ~NotificationToastOverlay() override;

    // Marks `control` as one the user must always reach: every overlay whose host comes to hold
    // it keeps its card off it. The page that makes the control marks it; the mark lasts as long
    // as the control, wherever the page is shown.
    static void keepClearOf(QWidget* control);

    NotificationToast* toast() const;
    // Where the card rests while presented, in the host.
    QRect restingGeometry() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ClearanceMark;

    // From now on the card keeps off `control`, which lies in the host.
    void follow(QWidget* control);
    // The part of each followed control that shows in the host now.
    QList<QRect> keptClear() const;
    void place();

    NotificationManager& manager_;
    QWidget* host_;
    QPointer<NotificationToast> toast_;
    QList<QPointer<QWidget>> followed_;
};
