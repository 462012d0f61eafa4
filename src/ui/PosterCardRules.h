#pragma once

#include "model/WallpaperModel.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// What a poster card shows and plays, decided apart from its painting: the popularity text, the
// NEW badge, the colour of an upload's status, which preview video belongs to the card and where
// it is played from. Pure functions; the lookups on disk are handed in.
class PosterCardRules {
public:
    // The count under the heart: likes (never below zero after the card's own like) plus
    // downloads; nothing below 20, "999", then thousands with one decimal ("1.5k", "2k", and a
    // million is "1000k": there is no larger unit).
    static std::optional<QString> likeCountText(qint64 likes, int optimisticLikeDelta, qint64 downloads);
    static QString formatCompactCount(qint64 count);

    // The creation date as the backend writes it (internet date-time with or without fractional
    // seconds, "yyyy-MM-ddTHH:mm:ss+hhmm", or a plain local "yyyy-MM-dd"); nothing when it does
    // not parse or is empty.
    static std::optional<QDateTime> parseCreatedAt(const QString& createdAt);
    // The moments between which the NEW badge shows, both left out, kept in UTC so that a
    // comparison with the clock costs no time-zone lookup.
    struct NewSpan {
        QDateTime after;
        QDateTime before;
        bool contains(const QDateTime& now) const { return after < now && now < before; }
    };
    // New while fewer than 16 whole days (in local time) have passed since creation; a date a day
    // or more ahead is not new, and neither is no date.
    static std::optional<NewSpan> newSpan(const std::optional<QDateTime>& created);
    static bool isNew(const std::optional<QDateTime>& created, const QDateTime& now);

    enum class StatusGroup { None, Approved, Pending, Rejected };
    // By the whole words of the status: a refusal (rejected, denied, failed, disapproved,
    // unapproved, unpublished) first, then accepted (approved, published, live); any other text,
    // "in review" and "pending" among them, counts as pending. An absent or empty status has no
    // badge.
    static StatusGroup uploadStatusGroup(const std::optional<QString>& status);
    static QColor statusColor(StatusGroup group);

    // The user's own video: category "Custom", or a local ".mp4" as its picture.
    static bool isCustomWallpaper(const WallpaperModel& wallpaper);
    // An own video that has no poster: the card plays `imageUrl` itself.
    static bool isLocalVideo(const WallpaperModel& wallpaper);
    // The asset host's HD preview of the wallpaper's key; nothing without key or host.
    static std::optional<QUrl> previewHdUrl(const WallpaperModel& wallpaper, const std::optional<QString>& host);
    // The card's preview: the own video, else the HD preview when asked for, else the ordinary one.
    static std::optional<QUrl> cardPreviewUrl(const WallpaperModel& wallpaper, bool usePreviewHd,
        const std::optional<QString>& host);

    // What is on disk already, asked only when the plan gets that far.
    struct DiskLookups {
        std::function<std::optional<QUrl>(qint64 key)> cachedHdPreview;
        std::function<std::optional<QUrl>(const QUrl& url, qint64 key)> cachedPreview;
        std::function<bool(qint64 key)> masterDownloaded;
    };
    struct PreviewPlan {
        std::optional<QUrl> play;    // nothing: there is no preview to play
        bool fromCache = false;      // `play` is the cached copy of the remote preview
        bool cacheRemote = false;    // also copy the remote preview into the preview cache
    };
    // Where the preview plays from: the own file, a cached copy, or the remote address (copied
    // into the cache meanwhile unless the master video is on disk already).
    static PreviewPlan planPreview(const WallpaperModel& wallpaper, bool usePreviewHd, const std::optional<QString>& host,
        const DiskLookups& disk);

    // The rim's white opacity and line width.
    struct Border {
        qreal opacity;
        qreal width;
    };
    static Border border(bool emphasized, bool hovering);
};
