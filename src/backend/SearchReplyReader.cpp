#include "backend/SearchReplyReader.h"

#include "backend/APIError.h"
#include "backend/SearchWallpaperEnvelope.h"
#include "backend/Utf8.h"
#include "backend/WallpapersResponse.h"
#include "foundation/JsonReader.h"
#include "foundation/Log.h"
#include "foundation/Text.h"

namespace {
constexpr qsizetype kLoggedCharacters = 800;

void log(const QString& message) { logLine(QStringLiteral("🔎"), QStringLiteral("SearchAPI"), message); }

void logRaw(const QByteArray& reply)
{
    if (const auto text = Utf8::decode(reply)) {
        log(QStringLiteral("Raw response (%1 bytes): ").arg(reply.size())
            + Text::truncated(*text, kLoggedCharacters, QStringLiteral("…")));
    } else {
        log(QStringLiteral("Raw response: %1 bytes (non-UTF8)").arg(reply.size()));
    }
}

// Runs one decoding attempt; nothing when the reply does not have that shape.
template <typename Decode>
std::optional<QList<WallpaperResponseItem>> attempt(Decode decode)
{
    try {
        return decode();
    } catch (const JsonError&) {
        return std::nullopt;
    }
}
} // namespace

QList<WallpaperResponseItem> SearchReplyReader::read(const QByteArray& reply)
{
    logRaw(reply);
    std::optional<JsonReader> json;
    try {
        json = JsonReader::parse(reply);
    } catch (const JsonError&) {
        // Not JSON at all: no shape fits.
    }
    if (json) {
        if (auto items = attempt([&] { return WallpapersResponse::fromJson(*json).wallpapers; })) {
            log(QStringLiteral("Decoded as WallpapersResponse, count=%1").arg(items->size()));
            return *items;
        }
        if (auto items = attempt([&] { return WallpaperResponseItem::listFromJson(*json); })) {
            log(QStringLiteral("Decoded as [WallpaperResponseItem], count=%1").arg(items->size()));
            return *items;
        }
        if (auto items = attempt([&] { return SearchWallpaperEnvelope::fromJson(*json).items(); })) {
            log(QStringLiteral("Decoded envelope (wallpapers/data/results), count=%1").arg(items->size()));
            return *items;
        }
    }
    log(QStringLiteral("Decode failed — no recognized wallpapers shape"));
    throw APIError::invalidResponseFormat();
}
