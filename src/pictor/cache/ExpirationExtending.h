#pragma once

#include "pictor/cache/StorageExpiration.h"

#include <optional>

namespace pictor {

// What reading a cached entry does to its expiry: nothing, restart it with the entry's own policy
// (cacheTime), or restart it with another policy.
class ExpirationExtending {
public:
    enum class Kind { none, cacheTime, expirationTime };

    static ExpirationExtending none() { return ExpirationExtending(Kind::none, std::nullopt); }
    static ExpirationExtending cacheTime() { return ExpirationExtending(Kind::cacheTime, std::nullopt); }
    static ExpirationExtending expirationTime(StorageExpiration expiration) { return ExpirationExtending(Kind::expirationTime, expiration); }

    Kind kind() const { return kind_; }
    // The policy of expirationTime.
    const std::optional<StorageExpiration>& expiration() const { return expiration_; }
    bool operator==(const ExpirationExtending&) const = default;

private:
    ExpirationExtending(Kind kind, std::optional<StorageExpiration> expiration) : kind_(kind), expiration_(std::move(expiration)) {}

    Kind kind_;
    std::optional<StorageExpiration> expiration_;
};

} // namespace pictor
