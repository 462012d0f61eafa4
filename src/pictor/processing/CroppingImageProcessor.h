#pragma once

#include "pictor/processing/DrawingProcessor.h"

#include <QPointF>
#include <QSizeF>

namespace pictor {

// Cuts a rectangle of the size out of the image, placed by the anchor (0.5, 0.5 centres it).
class CroppingImageProcessor : public DrawingProcessor {
public:
    explicit CroppingImageProcessor(QSizeF size, QPointF anchor = QPointF(0.5, 0.5));


protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QSizeF size_;
    QPointF anchor_;
};

} // namespace pictor
