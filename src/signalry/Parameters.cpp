#include "signalry/Parameters.h"

#include "signalry/SignalryManagerConfiguration.h"

#include <QLocale>

namespace signalry {

Parameters prefixedParameters(const Parameters& parameters, const SignalryManagerConfiguration& configuration)
{
    const QString prefix = configuration.defaultParameterPrefix().value_or(QString());
    if (prefix.isEmpty())
        return parameters;
    Parameters result;
    result.reserve(parameters.size());
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        const QString& key = it.key();
        result.insert(key.startsWith(kReservedPrefix) ? key : prefix + key, it.value());
    }
    return result;
}

Parameters merged(Parameters base, const Parameters& overriding)
{
    for (auto it = overriding.cbegin(); it != overriding.cend(); ++it)
        base.insert(it.key(), it.value());
    return base;
}

QString decimalText(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    const bool plainInteger = !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e'))
        && !text.contains(QLatin1String("inf")) && !text.contains(QLatin1String("nan"));
    if (plainInteger)
        text += QStringLiteral(".0");
    return text;
}

} // namespace signalry
