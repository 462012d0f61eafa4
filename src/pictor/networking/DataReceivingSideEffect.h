#pragma once

#include <QByteArray>

#include <functional>
#include <memory>

namespace pictor {

class SessionDataTask;

// Told of every chunk that arrives for a caller's transfer, on the transfer's thread; acts only
// while onShouldApply answers true.
class DataReceivingSideEffect {
public:
    virtual ~DataReceivingSideEffect() = default;
    virtual std::function<bool()> onShouldApply() const = 0;
    virtual void setOnShouldApply(std::function<bool()> check) = 0;
    virtual void dataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& chunk) = 0;
};

} // namespace pictor
