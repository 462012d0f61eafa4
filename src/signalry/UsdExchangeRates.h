#pragma once

#include <QString>

#include <optional>

namespace signalry {

// Units of each currency per US dollar, a fixed table of 161 currencies (US dollars excluded):
// how purchase prices become the US-dollar float value of purchase signals.
class UsdExchangeRates {
public:
    static std::optional<double> unitsPerDollar(QStringView currencyCode);
    static qsizetype size();
};

} // namespace signalry
