#pragma once

#include <QSizeF>
#include <QString>

namespace pictor {

// A corner radius: a fraction of the width, a fraction of the height, or a length in points.
class Radius {
public:
    enum class Kind { widthFraction, heightFraction, point };

    static Radius widthFraction(double fraction) { return Radius(Kind::widthFraction, fraction); }
    static Radius heightFraction(double fraction) { return Radius(Kind::heightFraction, fraction); }
    static Radius point(double length) { return Radius(Kind::point, length); }

    Kind kind() const { return kind_; }
    double value() const { return value_; }
    double resolved(QSizeF size) const;
    // "w_frac_0.5", "h_frac_0.5" or "20.0", as processor identifiers write it.
    QString text() const;
    // "point(20.0)", as a border's description writes it.
    QString description() const;
    bool operator==(const Radius&) const = default;

private:
    Radius(Kind kind, double value) : kind_(kind), value_(value) {}

    Kind kind_;
    double value_;
};

} // namespace pictor
