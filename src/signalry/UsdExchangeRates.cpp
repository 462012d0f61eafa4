#include "signalry/UsdExchangeRates.h"

#include <QHash>

namespace signalry {

namespace {
const QHash<QStringView, double>& table()
{
    static const QHash<QStringView, double> rates{
        {u"AED", 3.6725}, {u"AFN", 73.5}, {u"ALL", 95.5}, {u"AMD", 397.0}, {u"ANG", 1.79}, {u"AOA", 918.0},
        {u"ARS", 1055.0}, {u"AUD", 1.5742}, {u"AWG", 1.79}, {u"AZN", 1.7}, {u"BAM", 1.8646}, {u"BBD", 2.0},
        {u"BDT", 121.5}, {u"BGN", 1.8646}, {u"BHD", 0.376}, {u"BIF", 2960.0}, {u"BMD", 1.0}, {u"BND", 1.35},
        {u"BOB", 6.92}, {u"BRL", 5.7132}, {u"BSD", 1.0}, {u"BTN", 86.7955}, {u"BWP", 13.9}, {u"BYN", 3.27},
        {u"BZD", 2.0}, {u"CAD", 1.4182}, {u"CDF", 2850.0}, {u"CHF", 0.8997}, {u"CLP", 950.0}, {u"CNY", 7.2626},
        {u"COP", 4100.0}, {u"CRC", 506.0}, {u"CUP", 24.0}, {u"CVE", 105.1}, {u"CZK", 23.9}, {u"DJF", 177.72},
        {u"DKK", 7.11}, {u"DOP", 62.0}, {u"DZD", 135.0}, {u"EGP", 50.6}, {u"ERN", 15.0}, {u"ETB", 127.0},
        {u"EUR", 0.9533}, {u"FJD", 2.31}, {u"FKP", 0.7948}, {u"FOK", 7.11}, {u"GBP", 0.7948}, {u"GEL", 2.8},
        {u"GGP", 0.7948}, {u"GHS", 15.4}, {u"GIP", 0.7948}, {u"GMD", 72.5}, {u"GNF", 8620.0}, {u"GTQ", 7.72},
        {u"GYD", 209.0}, {u"HKD", 7.78}, {u"HNL", 25.5}, {u"HRK", 7.18}, {u"HTG", 131.0}, {u"HUF", 385.0},
        {u"IDR", 16300.0}, {u"ILS", 3.56}, {u"IMP", 0.7948}, {u"INR", 86.7955}, {u"IQD", 1310.0}, {u"IRR", 41993.216},
        {u"ISK", 140.0}, {u"JEP", 0.7948}, {u"JMD", 157.5}, {u"JOD", 0.709}, {u"JPY", 152.3479}, {u"KES", 129.3},
        {u"KGS", 87.4}, {u"KHR", 4010.0}, {u"KID", 1.5742}, {u"KMF", 469.0}, {u"KRW", 1440.3458}, {u"KWD", 0.3085},
        {u"KYD", 0.8333}, {u"KZT", 505.0}, {u"LAK", 21800.0}, {u"LBP", 89500.0}, {u"LKR", 297.0}, {u"LRD", 197.0},
        {u"LSL", 18.4}, {u"LYD", 4.9}, {u"MAD", 9.98}, {u"MDL", 18.7}, {u"MGA", 4700.0}, {u"MKD", 58.7},
        {u"MMK", 2100.0}, {u"MNT", 3420.0}, {u"MOP", 8.01}, {u"MRU", 39.9}, {u"MUR", 46.5}, {u"MVR", 15.4},
        {u"MWK", 1740.0}, {u"MXN", 20.4}, {u"MYR", 4.45}, {u"MZN", 63.9}, {u"NAD", 18.4}, {u"NGN", 1500.0},
        {u"NIO", 36.8}, {u"NOK", 11.2}, {u"NPR", 138.9}, {u"NZD", 1.76}, {u"OMR", 0.3845}, {u"PAB", 1.0}, {u"PEN", 3.7},
        {u"PGK", 4.0}, {u"PHP", 58.0}, {u"PKR", 279.0}, {u"PLN", 3.97}, {u"PYG", 7900.0}, {u"QAR", 3.64}, {u"RON", 4.75},
        {u"RSD", 111.6}, {u"RUB", 91.0}, {u"RWF", 1410.0}, {u"SAR", 3.75}, {u"SBD", 8.5}, {u"SCR", 14.4},
        {u"SDG", 510.0}, {u"SEK", 10.7}, {u"SGD", 1.35}, {u"SHP", 0.7948}, {u"SLE", 22.7}, {u"SLL", 22700.0},
        {u"SOS", 571.0}, {u"SRD", 35.2}, {u"SSP", 4300.0}, {u"STN", 23.4}, {u"SYP", 12950.0}, {u"SZL", 18.4},
        {u"THB", 33.8}, {u"TJS", 10.9}, {u"TMT", 3.5}, {u"TND", 3.18}, {u"TOP", 2.38}, {u"TRY", 36.3}, {u"TTD", 6.77},
        {u"TVD", 1.5742}, {u"TWD", 32.8}, {u"TZS", 2530.0}, {u"UAH", 41.6}, {u"UGX", 3680.0}, {u"UYU", 43.6},
        {u"UZS", 12950.0}, {u"VES", 62.0}, {u"VND", 25400.2138}, {u"VUV", 121.0}, {u"WST", 2.82}, {u"XAF", 625.3},
        {u"XCD", 2.7}, {u"XDR", 0.765}, {u"XOF", 625.3}, {u"XPF", 113.8}, {u"YER", 248.0}, {u"ZAR", 18.4},
        {u"ZMW", 28.1}, {u"ZWL", 26.8},
    };
    return rates;
}
} // namespace

std::optional<double> UsdExchangeRates::unitsPerDollar(QStringView currencyCode)
{
    const auto found = table().constFind(currencyCode);
    return found == table().cend() ? std::nullopt : std::optional<double>(*found);
}

qsizetype UsdExchangeRates::size() { return table().size(); }

} // namespace signalry
