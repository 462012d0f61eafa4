#include "pictor/processing/CompositingOperation.h"

namespace pictor {

QPainter::CompositionMode compositionMode(CompositingOperation operation)
{
    using Mode = QPainter::CompositionMode;
    switch (operation) {
    case CompositingOperation::clear: return Mode::CompositionMode_Clear;
    case CompositingOperation::copy: return Mode::CompositionMode_Source;
    case CompositingOperation::sourceOver: return Mode::CompositionMode_SourceOver;
    case CompositingOperation::sourceIn: return Mode::CompositionMode_SourceIn;
    case CompositingOperation::sourceOut: return Mode::CompositionMode_SourceOut;
    case CompositingOperation::sourceAtop: return Mode::CompositionMode_SourceAtop;
    case CompositingOperation::destinationOver: return Mode::CompositionMode_DestinationOver;
    case CompositingOperation::destinationIn: return Mode::CompositionMode_DestinationIn;
    case CompositingOperation::destinationOut: return Mode::CompositionMode_DestinationOut;
    case CompositingOperation::destinationAtop: return Mode::CompositionMode_DestinationAtop;
    case CompositingOperation::xorOperation: return Mode::CompositionMode_Xor;
    case CompositingOperation::plusLighter: return Mode::CompositionMode_Plus;
    case CompositingOperation::multiply: return Mode::CompositionMode_Multiply;
    case CompositingOperation::screen: return Mode::CompositionMode_Screen;
    case CompositingOperation::overlay: return Mode::CompositionMode_Overlay;
    case CompositingOperation::darken: return Mode::CompositionMode_Darken;
    case CompositingOperation::lighten: return Mode::CompositionMode_Lighten;
    case CompositingOperation::colorDodge: return Mode::CompositionMode_ColorDodge;
    case CompositingOperation::colorBurn: return Mode::CompositionMode_ColorBurn;
    case CompositingOperation::softLight: return Mode::CompositionMode_SoftLight;
    case CompositingOperation::hardLight: return Mode::CompositionMode_HardLight;
    case CompositingOperation::difference: return Mode::CompositionMode_Difference;
    case CompositingOperation::exclusion: return Mode::CompositionMode_Exclusion;
    }
    return Mode::CompositionMode_SourceOver;
}

} // namespace pictor
