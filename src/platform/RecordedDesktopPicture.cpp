#include "platform/RecordedDesktopPicture.h"

#include "foundation/DamagedFile.h"
#include "foundation/JsonSalvage.h"
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

QJsonObject RecordedDesktopPicture::read(bool* damaged) const
{
    QFile file(filePath_);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (document.isObject())
        return document.object();
    if (damaged)
        *damaged = true;
    return JsonSalvage::objectEntries(bytes);
}

void RecordedDesktopPicture::record(const QString& imagePath, const ScreenInfo& screen)
{
    bool damaged = false;
    QJsonObject records = read(&damaged);
    if (damaged) {
        // Kept for whoever wants to look; the displays that could be read stay recorded.
        const std::optional<QString> aside = DamagedFile::moveAside(filePath_);
        logLine(QStringLiteral("⚠️"), QStringLiteral("DesktopPicture"),
            aside ? QStringLiteral("Damaged desktop picture record %1 moved to %2; kept %3 displays")
                        .arg(filePath_, *aside).arg(records.size())
                  : QStringLiteral("Damaged desktop picture record %1 could not be moved aside; it is replaced").arg(filePath_));
    }
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
