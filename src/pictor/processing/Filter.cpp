#include "pictor/processing/Filter.h"

#include <QPainter>

#include <array>
#include <cmath>

namespace pictor {

namespace {

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double fromLinear(double c)
{
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

} // namespace

Filter Filter::tint(const QColor& color)
{
    return Filter([color](const QImage& input) -> std::optional<QImage> {
        QImage output = input.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&output);
        painter.fillRect(output.rect(), color);
        return output;
    });
}

Filter Filter::colorControl(ColorElement e)
{
    return Filter([e](const QImage& input) -> std::optional<QImage> {
        // Exposure works per channel: one table of 256 entries does it for every pixel.
        std::array<uint8_t, 256> exposure {};
        const double gain = std::exp2(std::isfinite(e.inputEV) ? e.inputEV : 0.0);
        for (int i = 0; i < 256; ++i)
            exposure[size_t(i)] = uint8_t(std::lround(std::clamp(fromLinear(toLinear(i / 255.0) * gain), 0.0, 1.0) * 255));
        QImage output = input.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < output.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(output.scanLine(y));
            for (int x = 0; x < output.width(); ++x) {
                const QRgb pixel = line[x];
                double rgb[3] = {qRed(pixel) / 255.0, qGreen(pixel) / 255.0, qBlue(pixel) / 255.0};
                for (double& c : rgb)
                    c = (c + e.brightness - 0.5) * e.contrast + 0.5;
                const double luma = 0.2125 * rgb[0] + 0.7154 * rgb[1] + 0.0721 * rgb[2];
                int out[3];
                for (int c = 0; c < 3; ++c) {
                    const double value = std::clamp(luma + (rgb[c] - luma) * e.saturation, 0.0, 1.0);
                    out[c] = exposure[size_t(std::lround(std::isnan(value) ? 0.0 : value * 255))];
                }
                line[x] = qRgba(out[0], out[1], out[2], qAlpha(pixel));
            }
        }
        return output;
    });
}

namespace pt {

Image apply(const Image& image, const Filter& filter)
{
    if (!image.hasBitmap())
        return image;
    std::optional<QImage> output = filter(image.bitmap());
    if (!output || output->isNull())
        return image;
    const QSize pixels = image.pixelSize().toSize();
    return Image(output->size() == pixels ? *output : output->scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

Image tinted(const Image& image, const QColor& color)
{
    return apply(image, Filter::tint(color));
}

Image adjusted(const Image& image, double brightness, double contrast, double saturation, double inputEV)
{
    return apply(image, Filter::colorControl({brightness, contrast, saturation, inputEV}));
}

} // namespace pt
} // namespace pictor
