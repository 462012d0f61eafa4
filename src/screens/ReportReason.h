#pragma once

#include <QList>
#include <QString>

#include <optional>

// Why a user reports a wallpaper, in the order the report sheet lists them. Each reason's text
// is what the backend receives.
enum class ReportReason { LowResolution, ThumbnailNotLoading, Duplicate, Other };

namespace ReportReasons {

QString rawValue(ReportReason reason);
// The reason whose text is exactly `raw`; none for any other text.
std::optional<ReportReason> fromRawValue(const QString& raw);
const QList<ReportReason>& all();

} // namespace ReportReasons
