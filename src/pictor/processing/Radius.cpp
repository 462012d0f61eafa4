#include "pictor/processing/Radius.h"

#include "pictor/views/TextForms.h"

namespace pictor {

double Radius::resolved(QSizeF size) const
{
    switch (kind_) {
    case Kind::widthFraction: return value_ * size.width();
    case Kind::heightFraction: return value_ * size.height();
    case Kind::point: return value_;
    }
    return value_;
}

QString Radius::text() const
{
    switch (kind_) {
    case Kind::widthFraction: return "w_frac_" + TextForms::number(value_);
    case Kind::heightFraction: return "h_frac_" + TextForms::number(value_);
    case Kind::point: return TextForms::number(value_);
    }
    return {};
}

QString Radius::description() const
{
    switch (kind_) {
    case Kind::widthFraction: return "widthFraction(" + TextForms::number(value_) + ")";
    case Kind::heightFraction: return "heightFraction(" + TextForms::number(value_) + ")";
    case Kind::point: return "point(" + TextForms::number(value_) + ")";
    }
    return {};
}

} // namespace pictor
