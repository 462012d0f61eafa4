#pragma once

#include <QCoro/QCoroTask>
#include <QNetworkRequest>

#include <functional>
#include <memory>
#include <optional>

namespace pictor {

class DownloadTask;

// Changes the request of a download before it goes out, possibly after waiting; no request back
// ends the download with emptyRequest. onDownloadTaskStarted, when set, receives the caller's
// handle once the transfer was started or joined.
class AsyncImageDownloadRequestModifier {
public:
    virtual ~AsyncImageDownloadRequestModifier() = default;
    virtual QCoro::Task<std::optional<QNetworkRequest>> modifiedAsync(QNetworkRequest request) const = 0;
    virtual std::function<void(std::shared_ptr<DownloadTask>)> onDownloadTaskStarted() const { return {}; }
};

} // namespace pictor
