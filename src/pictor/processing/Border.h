#pragma once

#include "pictor/processing/Radius.h"
#include "pictor/processing/RectCorner.h"

#include <QColor>
#include <QString>

namespace pictor {

// A stroked, optionally rounded border drawn inside an image's edge.
struct Border {
    QColor color = Qt::black;
    double lineWidth = 4.0;
    Radius radius = Radius::point(0);
    RectCorners roundingCorners = RectCorner::all;

    // Lists the four fields by name, stable across runs: it names cached results.
    QString description() const;
    bool operator==(const Border&) const = default;
};

} // namespace pictor
