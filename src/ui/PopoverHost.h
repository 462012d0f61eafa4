#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

// A small panel that opens beside the control it belongs to (a menu of choices, a picker) as a
// Qt::Popup window: a click outside or Escape closes it. Placed below its anchor when there is
// room in the anchor's window (on its screen), else above, and kept inside both. A confirmation asked from
// the popover is shown by its owner once the popover has closed (closeThen), so the popup's grab
// never fights the dialog. GUI thread only; the owner's child.
class PopoverHost : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGap = 6;
    static constexpr qreal kCornerRadius = 10;

    explicit PopoverHost(QWidget* owner);

    // Takes ownership; replaces the previous content.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    void open(QWidget* anchor);
    // Closes, then runs `then` on a later turn of the event loop, unless the owner is gone by then.
    void closeThen(std::function<void()> then);

    // Where a popup of `size` goes for an anchor (global coordinates) on a screen's available area.
    static QPoint placement(QRect anchor, QSize size, QRect available);
    // Where a popup of `anchor` may go: the anchor's window clipped to its screen's available
    // area (global coordinates); the screen alone when the window lies off it.
    static QRect availableArea(const QWidget* anchor);

Q_SIGNALS:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void runAfterClose();

    QPointer<QWidget> owner_;
    QPointer<QWidget> content_;
    std::function<void()> afterClose_;
};
