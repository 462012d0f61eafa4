#pragma once

#include <QHash>
#include <QString>

namespace signalry {

class SignalryManagerConfiguration;

// Signal parameters and payloads: text keys to text values.
using Parameters = QHash<QString, QString>;

// Every key the client defines itself begins with this, and keeps its name under a prefix.
inline constexpr QStringView kReservedPrefix = u"Signalry.";

// Puts the configured parameter prefix in front of every key that does not begin with
// "Signalry." (exact case); when two keys become equal the later one wins.
Parameters prefixedParameters(const Parameters& parameters, const SignalryManagerConfiguration& configuration);

// `base` with every entry of `overriding` written over it.
Parameters merged(Parameters base, const Parameters& overriding);

// The shortest decimal text that reads back as the same double, always with a fraction or an
// exponent ("2.0", "1.234", "1117.0").
QString decimalText(double value);

} // namespace signalry
