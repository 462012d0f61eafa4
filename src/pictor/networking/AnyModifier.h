#pragma once

#include "pictor/networking/ImageDownloadRequestModifier.h"

namespace pictor {

// A request modifier made from a closure that may be called from any thread.
class AnyModifier : public ImageDownloadRequestModifier {
public:
    using Block = std::function<std::optional<QNetworkRequest>(const QNetworkRequest&)>;
    explicit AnyModifier(Block block) : block_(std::move(block)) {}

    std::optional<QNetworkRequest> modified(const QNetworkRequest& request) const override { return block_(request); }

private:
    Block block_;
};

} // namespace pictor
