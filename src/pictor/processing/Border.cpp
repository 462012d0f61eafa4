#include "pictor/processing/Border.h"

#include "pictor/views/TextForms.h"

namespace pictor {

QString Border::description() const
{
    return "Border(color: " + TextForms::colorComponents(color) + ", lineWidth: " + TextForms::number(lineWidth) +
           ", radius: " + radius.description() + ", roundingCorners: " + QString::number(roundingCorners) + ")";
}

} // namespace pictor
