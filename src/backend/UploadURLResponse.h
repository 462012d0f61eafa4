#pragma once

#include <QString>

class JsonReader;

// The backend's answer to an upload-address request: the key reserved for the new wallpaper
// (as text), the signed address for the video file and how long that address lives.
struct UploadURLResponse {
    QString wallpaperKey;
    QString uploadUrl;
    qint64 expiresIn = 0; // seconds, counted from the reply

    static UploadURLResponse fromJson(const JsonReader& json);
};
