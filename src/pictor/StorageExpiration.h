#pragma once

#include <QDateTime>

#include <cstdint>
#include <variant>

namespace pictor {

// When a cached entry expires: seconds or days after it is stored or last extended, at a fixed
// date, never, or already.
class StorageExpiration {
public:
    struct Seconds {
        double value;
        bool operator==(const Seconds&) const = default;
    };
    struct Days {
        int64_t value;
        bool operator==(const Days&) const = default;
    };
    struct Never {
        bool operator==(const Never&) const = default;
    };
    struct Expired {
        bool operator==(const Expired&) const = default;
    };
    using Value = std::variant<Seconds, Days, QDateTime, Never, Expired>;

    static StorageExpiration seconds(double value) { return StorageExpiration(Seconds {value}); }
    static StorageExpiration days(int64_t value) { return StorageExpiration(Days {value}); }
    static StorageExpiration date(QDateTime value) { return StorageExpiration(std::move(value)); }
    static StorageExpiration never() { return StorageExpiration(Never {}); }
    static StorageExpiration expired() { return StorageExpiration(Expired {}); }

    const Value& value() const { return value_; }
    bool operator==(const StorageExpiration&) const = default;

private:
    explicit StorageExpiration(Value value) : value_(std::move(value)) {}

    Value value_;
};

} // namespace pictor
