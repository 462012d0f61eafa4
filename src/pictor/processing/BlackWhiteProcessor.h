#pragma once

#include "pictor/processing/ColorControlsProcessor.h"

namespace pictor {

// Colour controls that take the colour out: brightness 0, contrast 1, saturation 0, exposure 0.7.
class BlackWhiteProcessor : public ColorControlsProcessor {
public:
    BlackWhiteProcessor() : ColorControlsProcessor(QStringLiteral("com.quillmoth.Pictor.BlackWhiteProcessor"), {0.0, 1.0, 0.0, 0.7}) {}
};

} // namespace pictor
