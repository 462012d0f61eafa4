#pragma once

#include <QList>
#include <QString>

class QUrl;

// One item of an address's query, decoded.
struct QueryItem {
    QString name;
    QString value;

    bool operator==(const QueryItem&) const = default;

    // "name=value&..." escaped so that every server reads back the exact texts: "&", "=", "+",
    // "#", blanks and everything outside ASCII are percent-escaped; the other characters a query
    // may hold (",", ":", "/", "@", "?", ...) stay as they are.
    static QString encode(const QList<QueryItem>& items);

    // The items of an address's query, decoded, in order; an item without "=" has an empty value.
    static QList<QueryItem> decode(const QUrl& url);
};
