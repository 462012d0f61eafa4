#include "screens/ReportReason.h"

#include "foundation/Text.h"

#include <QCoreApplication>

QString ReportReasons::rawValue(ReportReason reason)
{
    switch (reason) {
    case ReportReason::LowResolution: return QStringLiteral("low_resolution");
    case ReportReason::ThumbnailNotLoading: return QStringLiteral("thumbnail_not_loading");
    case ReportReason::Duplicate: return QStringLiteral("duplicate");
    case ReportReason::Other: return QStringLiteral("other");
    }
    return {};
}

std::optional<ReportReason> ReportReasons::fromRawValue(const QString& raw)
{
    for (ReportReason reason : all())
        if (rawValue(reason) == raw)
            return reason;
    return std::nullopt;
}

const QList<ReportReason>& ReportReasons::all()
{
    static const QList<ReportReason> reasons{
        ReportReason::LowResolution, ReportReason::ThumbnailNotLoading, ReportReason::Duplicate, ReportReason::Other};
    return reasons;
}

QString ReportReasons::label(ReportReason reason)
{
    switch (reason) {
    case ReportReason::LowResolution: return QCoreApplication::translate("ReportReasons", "The wallpaper is Low res / blurry");
    case ReportReason::ThumbnailNotLoading:
        return QCoreApplication::translate("ReportReasons", "The Wallpaper's preview / thumbnail are not loading properly");
    case ReportReason::Duplicate: return QCoreApplication::translate("ReportReasons", "Duplicate wallpaper");
    case ReportReason::Other: return QCoreApplication::translate("ReportReasons", "Other");
    }
    return {};
}

std::optional<QString> ReportReasons::confirmationText(ReportReason reason)
{
    switch (reason) {
    case ReportReason::LowResolution: return QCoreApplication::translate("ReportReasons", "I have tried setting the wallpaper as wallpaper");
    case ReportReason::ThumbnailNotLoading: return QCoreApplication::translate("ReportReasons", "I have tried clearing the cache");
    case ReportReason::Duplicate: return QCoreApplication::translate("ReportReasons", "I confirm this wallpaper is repeated");
    case ReportReason::Other: return std::nullopt;
    }
    return std::nullopt;
}

QString ReportReasons::remarks(ReportReason reason, const QString& otherText)
{
    if (reason == ReportReason::Other)
        return QStringLiteral("other: ") + Text::trimmed(otherText);
    return label(reason);
}
