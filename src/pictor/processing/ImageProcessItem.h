#pragma once

#include "pictor/core/Image.h"

#include <QByteArray>
#include <QString>

#include <variant>

namespace pictor {

// What a processor is given: a decoded image or undecoded data.
class ImageProcessItem {
public:
    static ImageProcessItem image(Image image) { return ImageProcessItem(std::move(image)); }
    static ImageProcessItem data(QByteArray data) { return ImageProcessItem(std::move(data)); }

    const Image* asImage() const { return std::get_if<Image>(&value_); }
    const QByteArray* asData() const { return std::get_if<QByteArray>(&value_); }
    // "image(Image(...))" or "data(N bytes, FORMAT)".
    QString description() const;

private:
    explicit ImageProcessItem(std::variant<Image, QByteArray> value) : value_(std::move(value)) {}

    std::variant<Image, QByteArray> value_;
};

} // namespace pictor
