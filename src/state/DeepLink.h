#pragma once

#include <QString>

#include <optional>

// What a link of the application's URL scheme asks for, read from the link's text as received
// (hosts are compared case-sensitively, before any normalisation):
//   quorvelle://wallpaper/<key>, quorvelle:///wallpaper/<key>, quorvelle://<other>/wallpaper/<key>
//       a catalogue wallpaper by its signed 64-bit key;
//   <any scheme>://gravelnook/<id>   a partner-site wallpaper by its id (inner "/" kept);
//   <any scheme>://oauth/...         not ours: ignored.
struct DeepLink {
    enum class Kind { Ignored, Wallpaper, Gravelnook, InvalidWallpaper, InvalidGravelnook };

    Kind kind = Kind::InvalidWallpaper;
    qint64 key = 0;       // Wallpaper
    QString gravelnookId; // Gravelnook

    static DeepLink parse(const QString& text);

    // An optional single "+" or "-" and ASCII digits only, within the signed 64-bit range.
    static std::optional<qint64> parseKey(const QString& text);
};
