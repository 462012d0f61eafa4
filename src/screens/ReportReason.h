#pragma once

#include <QList>
#include <QString>

#include <optional>

// Why a user reports a wallpaper, in the order the report sheet lists them. The raw value
// identifies a reason; the label is what the row shows and the report says, the confirmation an
// optional second line under it.
enum class ReportReason { LowResolution, ThumbnailNotLoading, Duplicate, Other };

namespace ReportReasons {

QString rawValue(ReportReason reason);
// The reason whose text is exactly `raw`; none for any other text.
std::optional<ReportReason> fromRawValue(const QString& raw);
const QList<ReportReason>& all();
QString label(ReportReason reason);
std::optional<QString> confirmationText(ReportReason reason);
// What the report says: the label, or for "other" the user's own words after "other: ".
QString remarks(ReportReason reason, const QString& otherText);

} // namespace ReportReasons
