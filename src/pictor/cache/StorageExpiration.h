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

    // When something stored at `now` under this policy expires. Arithmetic saturates: days that
    // overflow count as never, far offsets stop at the distant future or past.
    QDateTime estimatedExpiration(const QDateTime& now) const;
    // Whether the policy gives no time left at `now` (a zero, negative or NaN span, a past date).
    bool isExpired(const QDateTime& now) const;

    static QDateTime distantFuture();
    static QDateTime distantPast();

private:
    explicit StorageExpiration(Value value) : value_(std::move(value)) {}

    Value value_;
};

} // namespace pictor
