#pragma once

#include <QtGlobal>

#include <mutex>

namespace pictor {

// The bytes that running transfers hold in memory, across every downloader of the process. Each
// transfer is capped on its own; without a bound on the sum, many large bodies arriving at once
// would still exhaust memory. A transfer takes its share as data arrives and gives it all back
// when it ends.
class TransferBudget {
public:
    static constexpr qint64 kDefaultLimit = qint64(1) << 30;

    static TransferBudget& shared();

    qint64 limit() const;
    void setLimit(qint64 bytes);
    qint64 held() const;
    // Takes the bytes unless the sum would then pass the limit; then takes nothing.
    bool take(qint64 bytes);
    void release(qint64 bytes);

    // One transfer's share, given back when it goes.
    class Share {
    public:
        Share() = default;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        ~Share();

        qint64 bytes() const { return bytes_; }
        bool take(qint64 more);

    private:
        qint64 bytes_ = 0;
    };

private:
    mutable std::mutex mutex_;
    qint64 limit_ = kDefaultLimit;
    qint64 held_ = 0;
};

} // namespace pictor
