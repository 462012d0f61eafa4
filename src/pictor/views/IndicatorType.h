#pragma once

#include "pictor/views/Indicator.h"

#include <QByteArray>

#include <memory>

namespace pictor {

// Which indicator an image view makes: an animated image from data, one of the caller's, none,
// or the spinner.
struct IndicatorType {
    enum class Kind { image, custom, none, activity };
    Kind kind = Kind::none;
    QByteArray imageData;
    std::shared_ptr<Indicator> indicator;

    static IndicatorType image(QByteArray data) { return {Kind::image, std::move(data), nullptr}; }
    static IndicatorType custom(std::shared_ptr<Indicator> indicator) { return {Kind::custom, {}, std::move(indicator)}; }
    static IndicatorType none() { return {}; }
    static IndicatorType activity() { return {Kind::activity, {}, nullptr}; }

    // A new indicator of this type; none for none and for image data that cannot be decoded.
    std::shared_ptr<Indicator> make() const;
};

} // namespace pictor
