#include "engine/VideoDownload.h"

#include "platform/Http.h"
#include "platform/HttpError.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace {
constexpr qint64 kMiB = qint64(1) << 20;
} // namespace

qint64 VideoDownload::limitFor(const std::optional<QString>& statedSize, qint64 unstated)
{
    static const QRegularExpression megabytes(QStringLiteral("^\\s*(\\d{1,7})\\s*MB\\s*$"));
    const QRegularExpressionMatch match = megabytes.match(statedSize.value_or(QString()));
    if (!match.hasMatch())
        return unstated;
    return (match.captured(1).toLongLong() + 1) * kMiB * 5 / 4;
}

QCoro::Task<HttpResponse> VideoDownload::run(QUrl url, QString destinationPath, ProgressHandler progress, qint64 maxBytes,
    std::shared_ptr<HttpBodyTap> tap)
{
    const HttpProgress report = [progress = std::move(progress)](qint64 done, qint64 total) {
        if (progress && total > 0)
            progress(static_cast<double>(done) / static_cast<double>(total));
    };
    const QNetworkRequest request(url);
    // One byte past the bound is enough to know the reply runs past it.
    HttpResponse response = co_await Http::shared().download(request, destinationPath, report, {}, Http::kDefaultTimeoutMs, maxBytes + 1,
        std::move(tap));
    // Not followed, as the request's policy wants: said as what it is, not as a reply without a video.
    if (const QUrl next = url.resolved(QUrl::fromEncoded(response.header("Location").trimmed()));
        response.status >= 300 && response.status <= 399 && url.scheme() == u"https" && next.scheme() == u"http") {
        throw HttpError(HttpError::Kind::Transport, QNetworkReply::InsecureRedirectError,
            QStringLiteral("The server sent the download on to an address without encryption: ") + next.toString());
    }
    if (response.isSuccess() && QFileInfo(destinationPath).size() > maxBytes) {
        QFile::remove(destinationPath);
        throw HttpError(HttpError::Kind::TooLarge, QNetworkReply::NoError,
            QStringLiteral("The video is longer than the %1 MB it can be.").arg((maxBytes + kMiB - 1) / kMiB));
    }
    co_return response;
}
