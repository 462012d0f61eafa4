#include "platform/RecordedDesktopPicture.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/DesktopPictureError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
const QString kPicture = QStringLiteral("picture");
const QString kName = QStringLiteral("name");

QString keyFor(const ScreenInfo& screen) { return QString::number(screen.displayId); }
} // namespace

RecordedDesktopPicture::RecordedDesktopPicture(QString filePath) : filePath_(std::move(filePath)) {}

QString RecordedDesktopPicture::defaultFilePath() { return Paths::appSupport() + QStringLiteral("/desktop-pictures.json"); }

QCoro::Task<> RecordedDesktopPicture::setPicture(QString imagePath, ScreenInfo screen)
{
    record(imagePath, screen);
    co_return;
}

QJsonObject RecordedDesktopPicture::read() const
{
    QFile file(filePath_);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        // Only our own writes make this file; a damaged one is started afresh.
        logLine(QStringLiteral("⚠️"), QStringLiteral("DesktopPicture"),
            QStringLiteral("Ignoring unreadable desktop picture record ") + filePath_);
        return {};
    }
    return document.object();
}

void RecordedDesktopPicture::record(const QString& imagePath, const ScreenInfo& screen)
{
    QJsonObject records = read();
    records.insert(keyFor(screen), QJsonObject{{kName, screen.localizedName}, {kPicture, imagePath}});

    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    // QSaveFile: a crash mid-write leaves the previous record whole.
    QSaveFile file(filePath_);
    const QByteArray bytes = QJsonDocument(records).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw DesktopPictureError(
            QStringLiteral("The desktop picture could not be recorded in %1: %2").arg(filePath_, file.errorString()));
    }
}

std::optional<QString> RecordedDesktopPicture::picture(const ScreenInfo& screen) const
{
    const QJsonValue entry = read().value(keyFor(screen));
    if (!entry.isObject() || !entry[kPicture].isString())
        return std::nullopt;
    return entry[kPicture].toString();
}
