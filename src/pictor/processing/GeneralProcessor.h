#pragma once

#include "pictor/processing/ImageProcessor.h"

#include <functional>

namespace pictor {

// A processor made of a name and a function, as chaining builds them.
class GeneralProcessor : public ImageProcessor {
public:
    using Function = std::function<std::optional<Image>(const ImageProcessItem&, const PictorParsedOptionsInfo&)>;

    GeneralProcessor(QString identifier, Function function) : identifier_(std::move(identifier)), function_(std::move(function)) {}

    QString identifier() const override { return identifier_; }
    std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const override
    {
        return function_(item, options);
    }

private:
    QString identifier_;
    Function function_;
};

} // namespace pictor
