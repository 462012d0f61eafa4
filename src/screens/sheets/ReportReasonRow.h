#pragma once

#include "screens/ReportReason.h"
#include "ui/PressableWidget.h"

// One choice of the report sheet: a radio mark, the reason's label and its confirmation line
// (each at most two lines), on a rounded card that lights up while hovered and more while
// selected. The whole card is the click target; the sheet keeps the selection.
class ReportReasonRow : public PressableWidget {
    Q_OBJECT

public:
    explicit ReportReasonRow(ReportReason reason, QWidget* parent = nullptr);

    ReportReason reason() const { return reason_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    // The card's fill and outline right now.
    QColor fillColor() const;
    QColor strokeColor() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    // Where the text column starts at `width` (its height is left to the lines).
    QRect textRect(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ReportReason reason_;
    bool selected_ = false;
};
