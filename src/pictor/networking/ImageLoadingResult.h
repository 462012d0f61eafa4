#pragma once

#include "pictor/core/Image.h"
#include "pictor/networking/NetworkMetrics.h"

#include <QByteArray>
#include <QUrl>

#include <optional>

namespace pictor {

// A finished download: the caller's image, the URL of the final request, the bytes as received
// (before any image processing) and the transfer's timing when there was one.
struct ImageLoadingResult {
    Image image;
    QUrl url;
    QByteArray originalData;
    std::optional<NetworkMetrics> metrics;
};

} // namespace pictor
