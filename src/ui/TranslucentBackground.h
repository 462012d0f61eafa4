#pragma once

#include <QWidget>

// The window-filling background behind every page: the application's background colour,
// opaque, edge to edge.
class TranslucentBackground : public QWidget {
    Q_OBJECT

public:
    explicit TranslucentBackground(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
