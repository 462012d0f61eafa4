#pragma once

#include <QWidget>

class QPainter;
class QRegion;

// The window-filling background behind every page: the application's background colour,
// opaque, edge to edge. The root view paints it beneath its pages with paint(), so Qt leaves out
// what an opaque page covers.
class TranslucentBackground : public QWidget {
    Q_OBJECT

public:
    explicit TranslucentBackground(QWidget* parent = nullptr);

    static void paint(QPainter& painter, const QRegion& region);

protected:
    void paintEvent(QPaintEvent* event) override;
};
