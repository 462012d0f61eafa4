#pragma once

#include "foundation/SettingsChange.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

class QThreadPool;

// A list earlier versions kept as one data value (a JSON array of records) made into rows: each
// record under its member `idField` (text, or a number written out), kRowGap apart in stored
// order. A record that does not read, or whose key an earlier record has, keeps a row of its own
// ("unread-<index>"): nothing is dropped. The keys are parsed on `pool`, a few hundred records a
// task: an upgrade brings tens of thousands at once.
namespace EarlierListRows {

// Nothing when the value is no JSON array. Each row's record is a view into `data` (as by
// QByteArray::fromRawData): the rows must not outlive it, or must detach their records first.
std::optional<QList<StoredRow>> of(const QByteArray& data, const QString& idField, QThreadPool* pool);

QString keyOf(const QJsonObject& record, const QString& idField);

} // namespace EarlierListRows
