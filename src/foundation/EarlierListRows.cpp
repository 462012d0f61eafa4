#include "foundation/EarlierListRows.h"

#include "foundation/JsonElementRanges.h"

#include <QJsonDocument>
#include <QSet>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

namespace {
// Enough records per task that handing them out costs little beside parsing them.
constexpr qsizetype kRecordsPerTask = 500;
} // namespace

QString EarlierListRows::keyOf(const QJsonObject& record, const QString& idField)
{
    const QJsonValue id = record.value(idField);
    return id.isString() ? id.toString() : QString::number(id.toInteger());
}

std::optional<QList<StoredRow>> EarlierListRows::of(const QByteArray& data, const QString& idField, QThreadPool* pool)
{
    const std::optional<QList<std::pair<qsizetype, qsizetype>>> elements = JsonElementRanges::of(data);
    if (!elements)
        return std::nullopt;
    const auto view = [&data, &elements](qsizetype i) {
        return QByteArray::fromRawData(data.constData() + elements->at(i).first, elements->at(i).second);
    };
    QList<std::pair<qsizetype, qsizetype>> tasks;
    for (qsizetype begin = 0; begin < elements->size(); begin += kRecordsPerTask)
        tasks.append({begin, std::min(elements->size(), begin + kRecordsPerTask)});
    using Keys = QList<std::optional<QString>>;
    const auto readKeys = [&view, &idField](const std::pair<qsizetype, qsizetype>& task) {
        Keys keys;
        keys.reserve(task.second - task.first);
        for (qsizetype i = task.first; i < task.second; ++i) {
            const QJsonDocument document = QJsonDocument::fromJson(view(i));
            keys.append(document.isObject() && document.object().contains(idField) ? std::optional(keyOf(document.object(), idField))
                                                                                  : std::nullopt);
        }
        return keys;
    };
    const QList<Keys> keyParts = QtConcurrent::blockingMapped<QList<Keys>>(pool, tasks, readKeys);
    QList<StoredRow> rows;
    QSet<QString> keys;
    rows.reserve(elements->size());
    keys.reserve(elements->size());
    qsizetype i = 0;
    for (const Keys& part : keyParts) {
        for (const std::optional<QString>& read : part) {
            QString key = read && !keys.contains(*read) ? *read : QStringLiteral("unread-%1").arg(i);
            keys.insert(key);
            rows.append({std::move(key), i * kRowGap, view(i)});
            ++i;
        }
    }
    return rows;
}
