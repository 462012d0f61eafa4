#include "ProcessorChainParser.h"

#include "pictor/processing/BlackWhiteProcessor.h"
#include "pictor/processing/BlurImageProcessor.h"
#include "pictor/processing/BorderImageProcessor.h"
#include "pictor/processing/ColorControlsProcessor.h"
#include "pictor/processing/CroppingImageProcessor.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/processing/DownsamplingImageProcessor.h"
#include "pictor/processing/OverlayImageProcessor.h"
#include "pictor/processing/ResizingImageProcessor.h"
#include "pictor/processing/RoundCornerImageProcessor.h"
#include "pictor/processing/TintImageProcessor.h"

#include <QColor>

using namespace pictor;

namespace {

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

std::optional<QSizeF> size(const QString& text)
{
    const QStringList sides = text.split(QLatin1Char('x'));
    if (sides.size() != 2)
        return std::nullopt;
    const auto width = number(sides[0]);
    const auto height = number(sides[1]);
    return width && height ? std::optional(QSizeF(*width, *height)) : std::nullopt;
}

std::optional<QColor> color(const QString& text)
{
    const QColor value = QColor::fromString(text);
    return value.isValid() ? std::optional(value) : std::nullopt;
}

} // namespace

ImageProcessorPtr ProcessorChainParser::parse(const QStringList& steps, QString& error)
{
    ImageProcessorPtr chain;
    for (const QString& step : steps) {
        ImageProcessorPtr next = parseStep(step, error);
        if (!next)
            return nullptr;
        chain = chain ? append(chain, next) : next;
    }
    return chain ? chain : DefaultImageProcessor::shared();
}

ImageProcessorPtr ProcessorChainParser::parseStep(const QString& step, QString& error)
{
    const QStringList parts = step.split(QLatin1Char(':'));
    const QString& name = parts[0];
    const auto arg = [&parts](int i) { return parts.value(i); };
    if (name == "blur" && parts.size() == 2 && number(arg(1)))
        return std::make_shared<BlurImageProcessor>(*number(arg(1)));
    if (name == "round" && parts.size() == 2 && number(arg(1)))
        return std::make_shared<RoundCornerImageProcessor>(*number(arg(1)));
    if (name == "resize" && (parts.size() == 2 || parts.size() == 3) && size(arg(1))) {
        const ContentMode mode = arg(2) == "fit" ? ContentMode::aspectFit : arg(2) == "fill" ? ContentMode::aspectFill : ContentMode::none;
        return std::make_shared<ResizingImageProcessor>(*size(arg(1)), mode);
    }
    if (name == "crop" && parts.size() == 2 && size(arg(1)))
        return std::make_shared<CroppingImageProcessor>(*size(arg(1)));
    if (name == "downsample" && parts.size() == 2 && size(arg(1)))
        return std::make_shared<DownsamplingImageProcessor>(*size(arg(1)));
    if (name == "tint" && parts.size() == 2 && color(arg(1)))
        return std::make_shared<TintImageProcessor>(*color(arg(1)));
    if (name == "overlay" && parts.size() == 3 && color(arg(1)) && number(arg(2)))
        return std::make_shared<OverlayImageProcessor>(*color(arg(1)), *number(arg(2)));
    if (name == "border" && (parts.size() == 3 || parts.size() == 4) && number(arg(1)) && color(arg(2))) {
        const double radius = parts.size() == 4 ? number(arg(3)).value_or(0) : 0;
        return std::make_shared<BorderImageProcessor>(Border {*color(arg(2)), *number(arg(1)), Radius::point(radius), RectCorner::all});
    }
    if (name == "colors" && parts.size() == 5 && number(arg(1)) && number(arg(2)) && number(arg(3)) && number(arg(4)))
        return std::make_shared<ColorControlsProcessor>(*number(arg(1)), *number(arg(2)), *number(arg(3)), *number(arg(4)));
    if (name == "bw" && parts.size() == 1)
        return std::make_shared<BlackWhiteProcessor>();
    error = QStringLiteral("unknown or malformed step \"%1\"").arg(step);
    return nullptr;
}
