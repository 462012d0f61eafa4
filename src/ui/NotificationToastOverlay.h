#pragma once

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
// GUI thread; owned by the host.
class NotificationToastOverlay : public QObject {
    Q_OBJECT

public:
    static constexpr int kTrailing = 28;
    static constexpr int kBottom = 40;

    NotificationToastOverlay(NotificationManager& manager, QWidget* host);
    ~NotificationToastOverlay() override;

    NotificationToast* toast() const { return toast_; }
    // Where the card rests while presented, in the host.
    QRect restingGeometry() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    NotificationManager& manager_;
    QWidget* host_;
    QPointer<NotificationToast> toast_;
};
