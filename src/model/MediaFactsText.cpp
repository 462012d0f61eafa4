#include "model/MediaFactsText.h"

#include "foundation/Text.h"

#include <QRegularExpression>

QString MediaFactsText::resolution(int width, int height) { return QStringLiteral("%1×%2").arg(width).arg(height); }

QString MediaFactsText::megabytes(double megabytes) { return Text::format("%.0fMB", megabytes); }

std::optional<QString> MediaFactsText::resolution(const QString& written)
{
    static const QRegularExpression kPair(QStringLiteral("^\\s*(\\d{1,6})\\s*[x×X*]\\s*(\\d{1,6})\\s*$"));
    const QRegularExpressionMatch match = kPair.match(written);
    if (!match.hasMatch())
        return std::nullopt;
    return resolution(match.captured(1).toInt(), match.captured(2).toInt());
}

std::optional<QString> MediaFactsText::megabytes(const QString& written)
{
    // Commas between groups of three digits separate thousands ("1,536 MB"); a comma otherwise
    // is a decimal comma ("18,6 MB").
    static const QRegularExpression kSize(
        QStringLiteral("^\\s*(?:(\\d{1,3}(?:,\\d{3})+(?:\\.\\d+)?)|(\\d+(?:[.,]\\d+)?))\\s*(B|KB|MB|GB|KiB|MiB|GiB)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = kSize.match(written);
    if (!match.hasMatch())
        return std::nullopt;
    const double value = match.hasCaptured(1) ? match.captured(1).remove(u',').toDouble()
                                              : match.captured(2).replace(u',', u'.').toDouble();
    const QString unit = match.captured(3).toUpper();
    double factor = 1; // a bare number is taken as megabytes, as the catalogue sends it
    if (unit == QLatin1String("B"))
        factor = 1.0 / (1024 * 1024);
    else if (unit.startsWith(u'K'))
        factor = 1.0 / 1024;
    else if (unit.startsWith(u'G'))
        factor = 1024;
    return megabytes(value * factor);
}
