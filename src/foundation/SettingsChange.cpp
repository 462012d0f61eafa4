#include "foundation/SettingsChange.h"

#include <QSet>

void SettingsChange::append(const SettingsChange& later)
{
    for (auto it = later.entries.cbegin(); it != later.entries.cend(); ++it)
        entries.insert(it.key(), it.value());
    for (auto it = later.lists.cbegin(); it != later.lists.cend(); ++it) {
        const ListChange& next = *it;
        ListChange& list = lists[it.key()];
        // In one pass each, not one per row: a whole list of tens of thousands of rows (an
        // import) took seconds row by row.
        QHash<QString, qsizetype> lastPut;
        lastPut.reserve(next.put.size());
        for (qsizetype index = 0; index < next.put.size(); ++index)
            lastPut.insert(next.put.at(index).key, index);
        const QSet<QString> removedLater(next.removed.cbegin(), next.removed.cend());
        list.put.removeIf([&](const StoredRow& earlier) { return lastPut.contains(earlier.key) || removedLater.contains(earlier.key); });
        QSet<QString> removed(list.removed.cbegin(), list.removed.cend());
        for (const QString& key : next.removed) {
            if (!removed.contains(key)) {
                removed.insert(key);
                list.removed.append(key);
            }
        }
        list.removed.removeIf([&](const QString& key) { return lastPut.contains(key); });
        // A key put twice keeps its last row, in the place of that row.
        list.put.reserve(list.put.size() + lastPut.size());
        for (qsizetype index = 0; index < next.put.size(); ++index)
            if (lastPut.value(next.put.at(index).key) == index)
                list.put.append(next.put.at(index));
    }
}
