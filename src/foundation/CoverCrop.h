#pragma once

#include <QRectF>
#include <QSizeF>

// Scaling a picture to fill a frame while keeping its aspect ratio: the overflow on one axis is
// cut off evenly on both sides.
namespace CoverCrop {

// The part of a picture of size `picture` that fills `frame`; empty when either size is empty.
QRectF sourceRect(QSizeF picture, QSizeF frame);

} // namespace CoverCrop
