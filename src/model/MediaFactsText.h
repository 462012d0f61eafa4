#pragma once

#include <QString>

#include <optional>

// How every screen writes a video's resolution and file size in its fact chips: "1920×1080" and
// "54MB". Catalogue, own videos and partner records all pass through here, so one screen never
// reads "3840x2160" or "18.4 MB" beside another's "1920×1080" and "54MB". Pure functions.
class MediaFactsText {
public:
    static QString resolution(int width, int height);
    // Whole megabytes.
    static QString megabytes(double megabytes);
    // A resolution written by someone else ("3840x2160", "3840 X 2160", "3840×2160") in our
    // form; nothing when it holds no width and height.
    static std::optional<QString> resolution(const QString& written);
    // A size written by someone else ("18.4 MB", "18MB", "1.2 GB", "900 KB", "1,536 MB") in our
    // form; nothing when it is not a size.
    static std::optional<QString> megabytes(const QString& written);
};
