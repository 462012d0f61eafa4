#include "screens/detail/PartnerSiteRecord.h"

#include "foundation/AppError.h"
#include "foundation/Text.h"
#include "model/MediaFactsText.h"
#include "model/PartnerSiteKey.h"

#include <QCoreApplication>
#include <QSet>
#include <QUrl>

namespace {
constexpr qsizetype kLongestTitle = 35;

std::optional<QUrl> parsed(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}
} // namespace

QString PartnerSiteRecord::cleanTitle(const QString& title)
{
    static const QSet<QString> kNoise{QStringLiteral("wallpaper"), QStringLiteral("live"), QStringLiteral("4k"),
        QStringLiteral("hd"), QStringLiteral("8k")};
    QStringList kept;
    for (const QString& word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!kNoise.contains(word.toLower()))
            kept.append(word);
    }
    return Text::trimmedSpaces(kept.join(QLatin1Char(' ')));
}

std::optional<QString> PartnerSiteRecord::durationText(std::optional<qint64> seconds)
{
    if (!seconds || *seconds < 0)
        return std::nullopt;
    return Text::format("%lld:%02llds", *seconds / 60, *seconds % 60);
}

bool PartnerSiteRecord::is4k(const std::optional<QString>& resolution)
{
    return resolution && resolution->contains(QLatin1String("3840")) && resolution->contains(QLatin1String("2160"));
}

WallpaperModel PartnerSiteRecord::make(const GravelnookData& record, const std::optional<QString>& resolution,
    const std::optional<QString>& duration)
{
    const std::optional<qint64> key = PartnerSiteKey::key(record.id);
    if (!key)
        throw MessageError(
            QCoreApplication::translate("PartnerSiteRecord", "The partner site sent a wallpaper number that cannot be used: %1")
                .arg(record.id));
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = key;
    const QString cleaned = cleanTitle(record.title);
    model.title = Text::truncated(cleaned.isEmpty() ? record.title : cleaned, kLongestTitle);
    model.category = record.category;
    model.imageUrl = model.posterUrl = parsed(record.thumbnailUrl);
    model.videoUrl = model.previewhdUrl = parsed(record.previewUrl);
    model.masterUrl = parsed(record.videoUrl);
    // Written the partner's way; the chips show every record's facts one way.
    model.resolution = resolution;
    if (resolution)
        model.resolution = MediaFactsText::resolution(*resolution).value_or(*resolution);
    model.fileSize = MediaFactsText::megabytes(record.fileSize).value_or(record.fileSize);
    model.duration = duration;
    model.is_4k = is4k(resolution);
    model.isFromGravelnook = true;
    return model;
}
