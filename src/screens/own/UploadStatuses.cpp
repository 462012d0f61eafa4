#include "screens/own/UploadStatuses.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"

#include <QPointer>

#include <algorithm>

namespace {
const QString kType = QStringLiteral("CustomView");
}

UploadStatuses::UploadStatuses(APIService& api, std::function<QString()> deviceUUID,
    std::function<QList<qint64>()> listedKeys, QObject* parent)
    : QObject(parent), api_(api), deviceUUID_(std::move(deviceUUID)), listedKeys_(std::move(listedKeys))
{
}

void UploadStatuses::setLoading(bool loading)
{
    if (loading_ == loading)
        return;
    loading_ = loading;
    Q_EMIT isLoadingChanged();
}

QCoro::Task<> UploadStatuses::fetch()
{
    if (loading_)
        co_return;
    setLoading(true);
    QPointer<UploadStatuses> self(this);
    QHash<qint64, QString> fetched;
    QString failure;
    try {
        fetched = co_await api_.checkUploadStatus(deviceUUID_());
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (!self)
        co_return;
    setLoading(false);
    if (!failure.isEmpty()) {
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Failed to fetch upload statuses: ") + failure);
        co_return;
    }
    statuses_ = fetched;
    Q_EMIT statusesChanged();
    QList<qint64> keys = fetched.keys();
    std::sort(keys.begin(), keys.end());
    QStringList entries;
    for (const qint64 key : keys)
        entries.append(QStringLiteral("%1: \"%2\"").arg(key).arg(fetched.value(key)));
    QStringList listed;
    for (const qint64 key : listedKeys_())
        listed.append(QString::number(key));
    logLine(QStringLiteral("✅"), kType, QStringLiteral("Fetched upload statuses: %1 statuses").arg(fetched.size()));
    logLine(QStringLiteral("📋"), kType, QStringLiteral("Status map: [%1]").arg(entries.join(QStringLiteral(", "))));
    logLine(QStringLiteral("📋"), kType, QStringLiteral("Wallpaper keys: [%1]").arg(listed.join(QStringLiteral(", "))));
}

void UploadStatuses::clear()
{
    if (statuses_.isEmpty())
        return;
    statuses_.clear();
    Q_EMIT statusesChanged();
}
