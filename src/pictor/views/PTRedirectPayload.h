#pragma once

#include "pictor/networking/URLResponse.h"

#include <QNetworkRequest>

#include <functional>
#include <memory>
#include <optional>

namespace pictor {

class SessionDataTask;

// What a redirect block is given: the transfer, the redirecting response, the request that would
// follow it, and the answer to call (with the request to follow, or none to stop) exactly once.
struct PTRedirectPayload {
    std::shared_ptr<SessionDataTask> task;
    URLResponse response;
    QNetworkRequest newRequest;
    std::function<void(std::optional<QNetworkRequest>)> completionHandler;
};

} // namespace pictor
