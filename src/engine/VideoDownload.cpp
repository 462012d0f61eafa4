#include "engine/VideoDownload.h"

#include "platform/Http.h"
#include "platform/HttpError.h"
#include "platform/HttpRedirect.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace {
constexpr qint64 kMiB = qint64(1) << 20;

// The bound as it is, in MB of 2^20 bytes to two places ("1.25 MB", "4 MB"), or in bytes below one.
QString sizeText(qint64 bytes)
{
    if (bytes < kMiB)
        return QStringLiteral("%1 bytes").arg(bytes);
    QString megabytes = QString::number(double(bytes) / double(kMiB), 'f', 2);
    while (megabytes.endsWith(u'0'))
        megabytes.chop(1);
    if (megabytes.endsWith(u'.'))
        megabytes.chop(1);
    return megabytes + QStringLiteral(" MB");
}
} // namespace

qint64 VideoDownload::limitFor(const std::optional<QString>& statedSize, qint64 unstated)
{
    static const QRegularExpression statedMegabytes(QStringLiteral("^\\s*(\\d{1,7})\\s*MB\\s*$"));
    const QRegularExpressionMatch match = statedMegabytes.match(statedSize.value_or(QString()));
    // "0MB" is what a record says of a size it does not know (and of one under half a MiB): it
    // bounds nothing.
    const qint64 megabytes = match.hasMatch() ? match.captured(1).toLongLong() : 0;
    if (megabytes == 0)
        return unstated;
    return (megabytes + 1) * kMiB * 5 / 4;
}

QCoro::Task<HttpResponse> VideoDownload::run(QUrl url, QString destinationPath, DownloadDurability durability,
    ProgressHandler progress, qint64 maxBytes, std::shared_ptr<HttpBodyTap> tap)
{
    // None without a caller to tell: Http then wakes the GUI thread for nothing while bytes arrive.
    HttpProgress report;
    if (progress) {
        report = [progress = std::move(progress)](qint64 done, qint64 total) {
            if (total > 0)
                progress(static_cast<double>(done) / static_cast<double>(total));
        };
    }
    const QNetworkRequest request(url);
    // One byte past the bound is enough to know the reply runs past it.
    HttpResponse response = co_await Http::shared().download(request, destinationPath, durability, report, {},
        Http::kDefaultTimeoutMs, maxBytes + 1, std::move(tap));
    // Not followed, as the request's policy wants: said as what it is, not as a reply without a video.
    if (const std::optional<QUrl> next = HttpRedirect::insecureTarget(url, response.status, response.header("Location"))) {
        throw HttpError(HttpError::Kind::Transport, QNetworkReply::InsecureRedirectError,
            QStringLiteral("The server sent the download on to an address without encryption: ") + next->toString());
    }
    if (response.isSuccess() && QFileInfo(destinationPath).size() > maxBytes) {
        QFile::remove(destinationPath);
        throw HttpError(HttpError::Kind::TooLarge, QNetworkReply::NoError,
            QStringLiteral("The video is larger than the %1 it can be.").arg(sizeText(maxBytes)));
    }
    co_return response;
}
