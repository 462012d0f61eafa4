#include "ui/PosterCardRules.h"

#include "model/WallpaperAssets.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kNewForDays = 16;
constexpr qint64 kSmallestShownCount = 20;

bool isFileUrl(const std::optional<QUrl>& url) { return url && url->isLocalFile(); }

bool isRemoteUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

QString PosterCardRules::formatCompactCount(qint64 count)
{
    if (count < 1000)
        return QString::number(count);
    const double tenths = std::round(double(count) / 1000.0 * 10.0) / 10.0;
    return QString::asprintf(tenths == std::floor(tenths) ? "%.0fk" : "%.1fk", tenths);
}

std::optional<QString> PosterCardRules::likeCountText(qint64 likes, int optimisticLikeDelta, qint64 downloads)
{
    const qint64 total = std::max<qint64>(likes + optimisticLikeDelta, 0) + downloads;
    if (total < kSmallestShownCount)
        return std::nullopt;
    return formatCompactCount(total);
}

std::optional<QDateTime> PosterCardRules::parseCreatedAt(const QString& createdAt)
{
    if (createdAt.isEmpty())
        return std::nullopt;
    // Internet date-time (fraction optional) or the same with a "+hhmm" zone.
    static const QRegularExpression dateTime(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})[Tt](\d{2}):(\d{2}):(\d{2})(\.\d+)?([Zz]|[+-]\d{2}:\d{2}|[+-]\d{4})$)"));
    static const QRegularExpression plainDate(QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})$)"));
    if (const auto match = dateTime.match(createdAt); match.hasMatch()) {
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        int msec = 0;
        if (const QString fraction = match.captured(7); !fraction.isEmpty())
            msec = int(std::lround(fraction.mid(1).left(6).leftJustified(6, QLatin1Char('0')).toInt() / 1000.0));
        const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
        if (!date.isValid() || !time.isValid())
            return std::nullopt;
        int offset = 0;
        if (const QString zone = match.captured(8); zone.compare(QLatin1String("Z"), Qt::CaseInsensitive) != 0) {
            const QString digits = QString(zone.mid(1)).remove(QLatin1Char(':'));
            const int hours = digits.left(2).toInt();
            const int minutes = digits.mid(2).toInt();
            if (hours > 23 || minutes > 59)
                return std::nullopt;
            offset = (hours * 3600 + minutes * 60) * (zone.startsWith(QLatin1Char('-')) ? -1 : 1);
        }
        return QDateTime(date, time, Qt::OffsetFromUTC, offset).addMSecs(msec);
    }
    if (const auto match = plainDate.match(createdAt); match.hasMatch()) {
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        if (date.isValid())
            return QDateTime(date, QTime(0, 0), Qt::LocalTime);
    }
    return std::nullopt;
}

std::optional<PosterCardRules::NewSpan> PosterCardRules::newSpan(const std::optional<QDateTime>& created)
{
    if (!created)
        return std::nullopt;
    // Whole days count in local time, so the span's ends are days added on the local clock.
    const QDateTime local = created->toLocalTime();
    return NewSpan{local.addDays(-1).toUTC(), local.addDays(kNewForDays).toUTC()};
}

bool PosterCardRules::isNew(const std::optional<QDateTime>& created, const QDateTime& now)
{
    const std::optional<NewSpan> span = newSpan(created);
    return span && span->contains(now.toUTC());
}

PosterCardRules::StatusGroup PosterCardRules::uploadStatusGroup(const std::optional<QString>& status)
{
    if (!status || status->isEmpty())
        return StatusGroup::None;
    // Whole words only, so "disapproved" or "unpublished" never reads as accepted; a refusal
    // decides before anything else, so "review failed" is red.
    static const QRegularExpression kNotLetters(QStringLiteral("[^\\p{L}\\p{N}]+"));
    const QStringList words = status->toLower().split(kNotLetters, Qt::SkipEmptyParts);
    const auto hasAny = [&](std::initializer_list<const char*> wanted) {
        return std::any_of(wanted.begin(), wanted.end(), [&](const char* word) { return words.contains(QLatin1String(word)); });
    };
    if (hasAny({"rejected", "denied", "failed", "disapproved", "unapproved", "unpublished"}))
        return StatusGroup::Rejected;
    if (hasAny({"approved", "published", "live"}))
        return StatusGroup::Approved;
    return StatusGroup::Pending;
}

QColor PosterCardRules::statusColor(StatusGroup group)
{
    // The system's green, yellow and red as the dark appearance shows them.
    switch (group) {
    case StatusGroup::Approved: return QColor(48, 209, 88);
    case StatusGroup::Pending: return QColor(255, 214, 10);
    case StatusGroup::Rejected: return QColor(255, 69, 58);
    case StatusGroup::None: break;
    }
    return Qt::transparent;
}

bool PosterCardRules::isCustomWallpaper(const WallpaperModel& wallpaper)
{
    return wallpaper.category == QLatin1String("Custom")
        || (isFileUrl(wallpaper.imageUrl) && QFileInfo(wallpaper.imageUrl->path()).suffix() == QLatin1String("mp4"));
}

bool PosterCardRules::isLocalVideo(const WallpaperModel& wallpaper)
{
    return isCustomWallpaper(wallpaper) && wallpaper.imageUrl
        && QFileInfo(wallpaper.imageUrl->path()).suffix() == QLatin1String("mp4");
}

std::optional<QUrl> PosterCardRules::previewHdUrl(const WallpaperModel& wallpaper, const std::optional<QString>& host)
{
    if (!wallpaper.key)
        return std::nullopt;
    return WallpaperAssets::url(host, *wallpaper.key, WallpaperAssets::File::PreviewHd);
}

std::optional<QUrl> PosterCardRules::cardPreviewUrl(const WallpaperModel& wallpaper, bool usePreviewHd,
    const std::optional<QString>& host)
{
    if (isLocalVideo(wallpaper))
        return wallpaper.imageUrl;
    if (usePreviewHd)
        return wallpaper.previewhdUrl ? std::optional<QUrl>(wallpaper.previewhdUrl) : previewHdUrl(wallpaper, host);
    return wallpaper.videoUrl;
}

PosterCardRules::PreviewPlan PosterCardRules::planPreview(const WallpaperModel& wallpaper, bool usePreviewHd,
    const std::optional<QString>& host, const DiskLookups& disk)
{
    const std::optional<QUrl> url = cardPreviewUrl(wallpaper, usePreviewHd, host);
    if (!url || url->isEmpty())
        return {};
    if (isCustomWallpaper(wallpaper) && url->isLocalFile())
        return {url, false, false};
    const auto key = wallpaper.key;
    if (key && usePreviewHd && disk.cachedHdPreview)
        if (const auto file = disk.cachedHdPreview(*key))
            return {file, true, false};
    if (key && !url->isLocalFile() && disk.cachedPreview)
        if (const auto file = disk.cachedPreview(*url, *key))
            return {file, true, false};
    // The master video on disk means the wallpaper was applied: its preview streams uncached.
    if (key && !usePreviewHd && disk.masterDownloaded && disk.masterDownloaded(*key))
        return {url, false, false};
    return {url, false, key.has_value() && isRemoteUrl(*url)};
}

PosterCardRules::Border PosterCardRules::border(bool emphasized, bool hovering)
{
    if (emphasized)
        return hovering ? Border{0.22, 3} : Border{0.14, 2.5};
    return hovering ? Border{0.2, 2} : Border{0.12, 2};
}
