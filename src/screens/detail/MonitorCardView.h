#pragma once

#include "ui/PressableWidget.h"

// One display in the picker: a display symbol, the display's name (at most two centred lines)
// and "Main" under the main display's name, in a fixed-size card whose thin gray outline turns
// into a wide blue one while hovered. The whole card takes clicks.
class MonitorCardView : public PressableWidget {
    Q_OBJECT

public:
    MonitorCardView(const QString& name, bool isMain, QSize size, QWidget* parent = nullptr);

    const QString& name() const { return name_; }
    bool isMain() const { return isMain_; }
    // The outline right now.
    QColor borderColor() const;
    qreal borderWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    bool isMain_;
};
