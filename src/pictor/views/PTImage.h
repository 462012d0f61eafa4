#pragma once

#include "pictor/views/ImageView.h"
#include "pictor/views/PTImageViewBase.h"

namespace pictor {

// A declarative image: a widget that loads its source when it comes on screen and shows the
// image in an image view, with the option setters and view modifiers chained on it.
class PTImage : public PTImageViewBase<PTImage, ImageView> {
public:
    explicit PTImage(std::optional<Source> source, QWidget* parent = nullptr) : PTImageViewBase(std::move(source), parent) {}
    explicit PTImage(const QUrl& url, QWidget* parent = nullptr) : PTImageViewBase(urlSource(url), parent) {}
};

} // namespace pictor
