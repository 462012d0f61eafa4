#include "backend/WallpaperFileUpload.h"

#include "backend/UploadError.h"

#include <QNetworkRequest>

QUrl WallpaperFileUpload::fileURL(const QString& uploadUrl, const QString& wallpaperKey)
{
    QUrl url(uploadUrl, QUrl::StrictMode);
    if (uploadUrl.isEmpty() || !url.isValid() || url.isRelative())
        throw UploadError::invalidUploadURL();
    const QString fileName = wallpaperKey + QStringLiteral(".mp4");
    QString path = url.path(QUrl::FullyEncoded);
    if (!path.endsWith(fileName)) {
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        url.setPath(path + QString::fromLatin1(QUrl::toPercentEncoding(fileName)), QUrl::StrictMode);
    }
    if (!url.isValid())
        throw UploadError::constructURLFailed();
    return url;
}

QCoro::Task<> WallpaperFileUpload::send(QString uploadUrl, QString wallpaperKey, QString filePath, HttpProgress progress,
    std::stop_token stop, Http& http)
{
    QNetworkRequest request(fileURL(uploadUrl, wallpaperKey));
    request.setRawHeader("Content-Type", "video/mp4");
    const HttpResponse response = co_await http.upload(request, "PUT", filePath, std::move(progress), std::move(stop));
    if (response.status <= 0)
        throw UploadError::invalidResponse();
    if (!response.isSuccess())
        throw UploadError::uploadFailed(response.status);
}
