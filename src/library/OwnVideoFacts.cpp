#include "library/OwnVideoFacts.h"

#include "foundation/Text.h"
#include "model/MediaFactsText.h"
#include "platform/FileError.h"
#include "platform/MediaTools.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cmath>

namespace {
const QStringList kAcceptedSuffixes{QStringLiteral("mp4"), QStringLiteral("m4v")};

// An MPEG-4 file opens with its "ftyp" box: a size, then the type, at byte 4.
bool startsAsMpeg4(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(8).mid(4) == "ftyp";
}
} // namespace

bool OwnVideoFacts::hasAcceptedName(const QString& path)
{
    return kAcceptedSuffixes.contains(QFileInfo(path).suffix().toLower());
}

QString OwnVideoFacts::fileDialogFilterName() { return QStringLiteral("MPEG-4 movie"); }

QStringList OwnVideoFacts::fileDialogPatterns()
{
    QStringList patterns;
    for (const QString& suffix : kAcceptedSuffixes)
        patterns << QStringLiteral("*.") + suffix << QStringLiteral("*.") + suffix.toUpper();
    return patterns;
}

QString OwnVideoFacts::fileDialogFilter()
{
    return fileDialogFilterName() + QStringLiteral(" (") + fileDialogPatterns().join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::optional<QString> OwnVideoFacts::refusal() const
{
    if (!isMpeg4)
        return QStringLiteral("The file is not an MP4 video.");
    if (!naturalSize)
        return QStringLiteral("The file holds no video picture.");
    return std::nullopt;
}

QCoro::Task<OwnVideoFacts> OwnVideoFacts::read(QString path, const MediaTools& media)
{
    const QFileInfo file(path);
    if (!file.exists())
        throw FileError(path, QStringLiteral("The file does not exist."));
    if (!file.isFile() || !file.isReadable())
        throw FileError(path, QStringLiteral("The file cannot be read."));
    OwnVideoFacts facts;
    facts.bytes = file.size();
    facts.isMpeg4 = startsAsMpeg4(path);
    const MediaInfo info = co_await media.probeAsync(path);
    facts.durationSeconds = info.durationSeconds;
    if (info.hasVideoTrack)
        facts.naturalSize = info.naturalSize;
    co_return facts;
}

QString OwnVideoFacts::sizeText() const { return MediaFactsText::megabytes(megabytes()); }

std::optional<QString> OwnVideoFacts::durationText() const
{
    // Beyond this a whole-second count no longer fits the text's integer.
    constexpr double kLongest = 1e15;
    if (!std::isfinite(durationSeconds) || durationSeconds < 0 || durationSeconds > kLongest)
        return std::nullopt;
    return minutesText(qint64(durationSeconds));
}

std::optional<QString> OwnVideoFacts::resolutionText() const
{
    if (!naturalSize)
        return std::nullopt;
    return MediaFactsText::resolution(naturalSize->width(), naturalSize->height());
}

WallpaperModel OwnVideoFacts::record(const QUrl& fileUrl, std::optional<qint64> key, const QString& title,
    const QString& category) const
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = key;
    model.title = title;
    model.category = category;
    model.imageUrl = model.posterUrl = model.videoUrl = model.previewhdUrl = model.masterUrl = fileUrl;
    model.resolution = resolutionText();
    model.fileSize = sizeText();
    model.duration = durationText().value_or(minutesText(0));
    model.is_4k = is4k();
    return model;
}

QString OwnVideoFacts::wallpaperTitle(const QString& fileName)
{
    static const QSet<QString> kStopWords{QStringLiteral("wallpaper"), QStringLiteral("wallpapers"),
        QStringLiteral("moewalls"), QStringLiteral("com"), QStringLiteral("live"), QStringLiteral("4k"),
        QStringLiteral("hd"), QStringLiteral("gravelnook")};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    QStringList words;
    for (const QString& piece : QString(base).replace(QLatin1Char('-'), QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!kStopWords.contains(piece.toLower()))
            words.append(piece.left(1).toUpper() + piece.mid(1).toLower());
    }
    const QString title = words.isEmpty() ? base : words.join(QLatin1Char(' '));
    // Cards show titles on one line without control characters: a name made only of them (or of
    // spaces) would leave the card without a name.
    return Text::showsNothing(title) ? QCoreApplication::translate("OwnVideoFacts", "Untitled Video") : title;
}

QString OwnVideoFacts::minutesText(qint64 seconds) { return Text::format("%lld:%02llds", seconds / 60, seconds % 60); }
