#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace samplecatalogue {

// What an endpoint handler answers: a status with an in-memory body, or a file streamed from
// disk (with range support). The router turns it into the HTTP reply and applies faults.
struct CatalogueReply {
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QString file; // when set, the body is this file's content

    static CatalogueReply json(const QJsonDocument& document, int status = 200)
    {
        return {status, "application/json", document.toJson(QJsonDocument::Compact), {}};
    }
    static CatalogueReply json(const QJsonObject& object, int status = 200) { return json(QJsonDocument(object), status); }
    static CatalogueReply error(int status, const QString& message)
    {
        return json(QJsonObject{{QStringLiteral("error"), message}}, status);
    }
    static CatalogueReply fromFile(const QString& path, const QByteArray& contentType)
    {
        return {200, contentType, {}, path};
    }
};

} // namespace samplecatalogue
