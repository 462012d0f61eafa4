#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What a change did to a JSON list or object, element by element, so that it can be made again
// on another version of the same value: an element added, replaced, moved or dropped. An
// array's elements are objects told apart by one member (`idField`); an object's members by
// their names (an empty `idField`). An absent value (empty bytes) has no elements.
class JsonElementChanges {
public:
    struct Change {
        QString id;
        // The element's compact JSON; empty when it was dropped.
        QByteArray element;
        // In an array, the element it follows; none at the front.
        std::optional<QString> after;
        // It was added or moved; else it keeps the place it has.
        bool placed = true;
    };

    // Nothing when either value is not of the shape `idField` asks for.
    static std::optional<QList<Change>> between(const QByteArray& before, const QByteArray& now, const QString& idField);
    // `base` with the changes made in order; nothing when it is not of that shape.
    static std::optional<QByteArray> apply(const QByteArray& base, const QList<Change>& changes, const QString& idField);
};
