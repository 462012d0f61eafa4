#pragma once

#include "backend/GravelnookData.h"
#include "model/WallpaperModel.h"

#include <QString>

#include <optional>

// A partner-site wallpaper as the application's record: the title without the site's noise
// words (at most 35 characters), the addresses of the partner record, the facts it carries,
// the partner flag, and a key in the partner range. Pure functions.
class PartnerSiteRecord {
public:
    // Throws MessageError for a partner number that has no key.
    static WallpaperModel make(const GravelnookData& record, const std::optional<QString>& resolution,
        const std::optional<QString>& duration);
    // Words "wallpaper", "live", "4k", "hd" and "8k" (any case) dropped; runs of spaces become one.
    static QString cleanTitle(const QString& title);
    // "%d:%02ds"; none for a negative length.
    static std::optional<QString> durationText(std::optional<qint64> seconds);
    static bool is4k(const std::optional<QString>& resolution);
};
