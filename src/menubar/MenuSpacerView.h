#pragma once

#include <QWidget>

// An empty strip below the thumbnail row of the tray menu: it asks for 2 pixels but is made 5
// tall, and the menu gives it the larger of the two. GUI thread; owned by the menu.
class MenuSpacerView : public QWidget {
    Q_OBJECT

public:
    explicit MenuSpacerView(QWidget* parent = nullptr) : QWidget(parent) { setMinimumSize(240, 5); }

    QSize sizeHint() const override { return {240, 2}; }
};
