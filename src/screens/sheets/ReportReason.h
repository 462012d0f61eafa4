#pragma once

#include <QList>
#include <QString>

#include <optional>

// Why a wallpaper is reported. The raw value is what identifies a reason; the label is what the
// report sends and the row shows, the confirmation an optional second line under it.
enum class ReportReason { lowResolution, thumbnailNotLoading, duplicate, other };

namespace ReportReasons {

// Every reason, in the order the sheet lists them.
QList<ReportReason> all();
QString rawValue(ReportReason reason);
std::optional<ReportReason> fromRawValue(const QString& raw);
QString label(ReportReason reason);
std::optional<QString> confirmationText(ReportReason reason);
// What the report says: the label, or for "other" the user's own words after "other: ".
QString remarks(ReportReason reason, const QString& otherText);

} // namespace ReportReasons
