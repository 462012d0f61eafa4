#include "screens/ReportReason.h"

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
