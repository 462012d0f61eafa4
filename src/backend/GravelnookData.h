#pragma once

#include <QString>

#include <optional>

class JsonReader;

// One wallpaper of the partner site. The addresses stay text, neither checked nor parsed.
struct GravelnookData {
    qint64 id = 0;
    QString title;
    QString slug;
    QString category;
    QString fileSize; // a display text, not a number
    QString thumbnailUrl;
    QString previewUrl;
    QString videoUrl;
    QString pageUrl;
    std::optional<QString> resolution;
    std::optional<qint64> durationSeconds;

    static GravelnookData fromJson(const JsonReader& json);
};
