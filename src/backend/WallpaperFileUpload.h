#pragma once

#include "platform/Http.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <stop_token>

// Sends a community upload's video file with one PUT to the signed address the backend handed
// out, streamed from disk. Not a backend call: no bearer key, no JSON headers, no cache.
class WallpaperFileUpload {
public:
    // The signed address with "<wallpaperKey>.mp4" as the last path segment (added with one "/"
    // unless the path already ends with it); the query stays as it was. Throws UploadError.
    static QUrl fileURL(const QString& uploadUrl, const QString& wallpaperKey);

    // Throws UploadError for a bad address, a reply without a status or a status outside
    // 200-299; a transfer failure throws HttpError, an unreadable file FileError.
    static QCoro::Task<> send(QString uploadUrl, QString wallpaperKey, QString filePath, HttpProgress progress = {},
        std::stop_token stop = {}, Http& http = Http::shared());
};
