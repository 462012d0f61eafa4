#include "foundation/SettingsChange.h"

#include <algorithm>

void SettingsChange::append(const SettingsChange& later)
{
    for (auto it = later.entries.cbegin(); it != later.entries.cend(); ++it)
        entries.insert(it.key(), it.value());
    for (auto it = later.lists.cbegin(); it != later.lists.cend(); ++it) {
        ListChange& list = lists[it.key()];
        for (const QString& key : it->removed) {
            list.put.removeIf([&key](const StoredRow& row) { return row.key == key; });
            if (!list.removed.contains(key))
                list.removed.append(key);
        }
        for (const StoredRow& row : it->put) {
            list.put.removeIf([&row](const StoredRow& earlier) { return earlier.key == row.key; });
            list.removed.removeAll(row.key);
            list.put.append(row);
        }
    }
}
