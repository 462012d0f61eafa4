#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace samplecatalogue {

// One request as the sample catalogue received it, in Qt types: what endpoint handlers read and
// what the request log keeps for tests. Query items keep the order they were sent in.
struct CatalogueRequest {
    QByteArray method;
    QString path;                                 // decoded path, without the query
    QList<std::pair<QString, QString>> query;     // decoded items, in sent order
    QMap<QByteArray, QByteArray> headers;         // names lower-cased
    QByteArray body;
    QStringList captures;                         // groups of the route's pattern

    std::optional<QString> queryValue(const QString& name) const
    {
        for (const auto& [itemName, value] : query)
            if (itemName == name)
                return value;
        return std::nullopt;
    }
    // A query item holding plain decimal digits (with an optional minus sign), else nothing.
    std::optional<qint64> queryInteger(const QString& name) const
    {
        const auto text = queryValue(name);
        bool isNumber = false;
        const qint64 value = text ? text->toLongLong(&isNumber) : 0;
        if (!isNumber || text->trimmed() != *text || text->startsWith(u'+'))
            return std::nullopt;
        return value;
    }
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

} // namespace samplecatalogue
