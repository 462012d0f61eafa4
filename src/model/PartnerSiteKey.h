#pragma once

#include <QtGlobal>

#include <optional>

// Wallpapers of the partner site live in a key range of their own, [2^62, 2^63), that the
// catalogue never hands out: a partner wallpaper keeps its key in the liked, recent and playlist
// lists and names its cached master without ever being taken for the catalogue wallpaper that
// happens to carry the partner's number. The partner's own number comes back for links.
namespace PartnerSiteKey {

constexpr qint64 kFirst = qint64(1) << 62;

// None for a partner number outside 0 ... 2^62 - 1.
inline std::optional<qint64> key(qint64 partnerId)
{
    if (partnerId < 0 || partnerId >= kFirst)
        return std::nullopt;
    return kFirst + partnerId;
}
inline bool isPartnerKey(qint64 key) { return key >= kFirst; }
// The partner's number of a partner key.
inline qint64 partnerId(qint64 key) { return key - kFirst; }

} // namespace PartnerSiteKey
