#include "signalry/TransactionSource.h"

#include "signalry/LinuxTransactionSource.h"

#include <atomic>

namespace signalry {

namespace {
TransactionSource& platformSource()
{
    static auto* source = new LinuxTransactionSource;
    return *source;
}

std::atomic<TransactionSource*> installed{nullptr};
} // namespace

TransactionSource& TransactionSource::current()
{
    TransactionSource* source = installed.load();
    return source ? *source : platformSource();
}

void TransactionSource::setCurrent(TransactionSource* source) { installed.store(source); }

} // namespace signalry
