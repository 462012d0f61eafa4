#include "screens/sheets/ReportReason.h"

#include "foundation/Text.h"

namespace ReportReasons {

QList<ReportReason> all()
{
    return {ReportReason::lowResolution, ReportReason::thumbnailNotLoading, ReportReason::duplicate, ReportReason::other};
}

QString rawValue(ReportReason reason)
{
    switch (reason) {
    case ReportReason::lowResolution: return QStringLiteral("low_resolution");
    case ReportReason::thumbnailNotLoading: return QStringLiteral("thumbnail_not_loading");
    case ReportReason::duplicate: return QStringLiteral("duplicate");
    case ReportReason::other: return QStringLiteral("other");
    }
    return {};
}

std::optional<ReportReason> fromRawValue(const QString& raw)
{
    for (const ReportReason reason : all())
        if (rawValue(reason) == raw)
            return reason;
    return std::nullopt;
}

QString label(ReportReason reason)
{
    switch (reason) {
    case ReportReason::lowResolution: return QStringLiteral("The wallpaper is Low res / blurry");
    case ReportReason::thumbnailNotLoading: return QStringLiteral("The Wallpaper's preview / thumbnail are not loading properly");
    case ReportReason::duplicate: return QStringLiteral("Duplicate wallpaper");
    case ReportReason::other: return QStringLiteral("Other");
    }
    return {};
}

std::optional<QString> confirmationText(ReportReason reason)
{
    switch (reason) {
    case ReportReason::lowResolution: return QStringLiteral("I have tried setting the wallpaper as wallpaper");
    case ReportReason::thumbnailNotLoading: return QStringLiteral("I have tried clearing the cache");
    case ReportReason::duplicate: return QStringLiteral("I confirm this wallpaper is repeated");
    case ReportReason::other: return std::nullopt;
    }
    return std::nullopt;
}

QString remarks(ReportReason reason, const QString& otherText)
{
    if (reason == ReportReason::other)
        return QStringLiteral("other: ") + Text::trimmed(otherText);
    return label(reason);
}

} // namespace ReportReasons
