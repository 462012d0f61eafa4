#pragma once

#include "pictor/processing/FilterImageProcessor.h"

#include <QColor>

namespace pictor {

// Lays the tint colour over the whole picture with the colour's own alpha.
class TintImageProcessor : public FilterImageProcessor {
public:
    explicit TintImageProcessor(QColor tint);
    Filter filter() const override { return Filter::tint(tint_); }

protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QColor tint_;
};

} // namespace pictor
