#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// Rows of a list are this far apart when written in a row, so that one put in between, or at
// either end, takes one write.
constexpr qint64 kRowGap = qint64(1) << 20;

// One row of a stored list: its record (compact JSON) under its key, in the list's order of
// positions.
struct StoredRow {
    QString key;
    qint64 position = 0;
    QByteArray record;

    bool operator==(const StoredRow&) const = default;
};

// What one change does to the stored state, committed as one transaction: entries set (their
// stored JSON) or removed (nothing), rows of lists put or removed, each by its key.
struct SettingsChange {
    struct ListChange {
        QList<StoredRow> put;
        QStringList removed;
    };

    QHash<QString, std::optional<QByteArray>> entries;
    QHash<QString, ListChange> lists;

    bool isEmpty() const { return entries.isEmpty() && lists.isEmpty(); }
    // `later` made after this one: where both touch a key, the later one's wins.
    void append(const SettingsChange& later);
};
