#include "UploadEndpoints.h"

#include "CatalogueData.h"
#include "ReplyShapes.h"
#include "Router.h"
#include "UploadStore.h"

#include <QJsonArray>

namespace samplecatalogue {

namespace {
CatalogueReply badRequest(const QString& message)
{
    return CatalogueReply::error(400, message);
}

QJsonObject bodyOf(const CatalogueRequest& request)
{
    return QJsonDocument::fromJson(request.body).object();
}

bool isInteger(const QJsonValue& value)
{
    return value.isDouble() && value.toInteger(0) == value.toInteger(1);
}

QString signedQuery(const UploadStore::Upload& upload)
{
    return QStringLiteral("?expires=%1&signature=%2").arg(UploadStore::kAddressLifetime).arg(upload.token);
}

CatalogueReply uploadAddress(UploadStore& uploads, const ReplyShapes& shapes, const QString& baseUrl,
                             const CatalogueRequest& request)
{
    const QJsonValue device = bodyOf(request).value(QLatin1String("device_uuid"));
    if (!device.isString() || device.toString().isEmpty())
        return badRequest(QStringLiteral("The body needs a \"device_uuid\" text"));
    const UploadStore::Upload upload = uploads.reserve(device.toString());
    const QString folder = baseUrl + QStringLiteral("/uploads/") + upload.token;
    const QString fileName = QString::number(upload.key) + QStringLiteral(".mp4");
    const QString address = folder + QLatin1Char('/') + signedQuery(upload);
    QJsonObject reply{{QStringLiteral("wallpaper_key"), QString::number(upload.key)},
                      {QStringLiteral("upload_url"), address},
                      {QStringLiteral("expires_in"), UploadStore::kAddressLifetime}};
    const QString shape = shapes.shapeFor(request, QStringLiteral("folder"));
    if (shape == QLatin1String("folder-no-slash"))
        reply.insert(QStringLiteral("upload_url"), QString(folder + signedQuery(upload)));
    else if (shape == QLatin1String("file"))
        reply.insert(QStringLiteral("upload_url"), QString(folder + QLatin1Char('/') + fileName + signedQuery(upload)));
    else if (shape == QLatin1String("numeric-key"))
        reply.insert(QStringLiteral("wallpaper_key"), upload.key);
    else if (shape == QLatin1String("letters-key"))
        reply.insert(QStringLiteral("wallpaper_key"), QString(QString::number(upload.key) + QStringLiteral("a")));
    else if (shape == QLatin1String("no-expiry"))
        reply.remove(QStringLiteral("expires_in"));
    else if (shape != QLatin1String("folder"))
        return badRequest(QStringLiteral("Unknown reply shape: ") + shape);
    return CatalogueReply::json(reply);
}

CatalogueReply registration(const CatalogueData& data, UploadStore& uploads, const CatalogueRequest& request)
{
    const QJsonObject body = bodyOf(request);
    const QJsonValue device = body.value(QLatin1String("device_uuid"));
    const QJsonValue title = body.value(QLatin1String("title"));
    const QJsonValue category = body.value(QLatin1String("category"));
    const QJsonValue key = body.value(QLatin1String("wallpaper_key"));
    bool isKey = false;
    const qint64 keyNumber = key.toString().toLongLong(&isKey);
    if (!device.isString() || !title.isString() || !isInteger(category) || !key.isString() || !isKey)
        return badRequest(QStringLiteral("The body needs \"device_uuid\" and \"title\" texts, an integer \"category\" "
                                         "and the \"wallpaper_key\" text"));
    if (!data.hasCategory(category.toInteger()))
        return badRequest(QStringLiteral("Unknown category: %1").arg(category.toInteger()));
    switch (uploads.registerUpload(device.toString(), keyNumber, title.toString(), category.toInteger())) {
    case UploadStore::Registration::UnknownKey:
        return CatalogueReply::error(404, QStringLiteral("No upload address was handed out for this key"));
    case UploadStore::Registration::OtherDevice:
        return CatalogueReply::error(403, QStringLiteral("The key belongs to another device"));
    case UploadStore::Registration::AlreadyRegistered:
        return CatalogueReply::error(409, QStringLiteral("The wallpaper is already registered"));
    case UploadStore::Registration::Registered:
        break;
    }
    return CatalogueReply::json(QJsonObject{{QStringLiteral("success"), true}});
}

CatalogueReply statuses(const UploadStore& uploads, const ReplyShapes& shapes, const CatalogueRequest& request)
{
    const auto device = request.queryValue(QStringLiteral("device_uuid"));
    if (!device || device->isEmpty())
        return badRequest(QStringLiteral("device_uuid is required"));
    const QString shape = shapes.shapeFor(request, QStringLiteral("usual"));
    if (shape != QLatin1String("usual") && shape != QLatin1String("text-key") && shape != QLatin1String("repeated-key"))
        return badRequest(QStringLiteral("Unknown reply shape: ") + shape);
    QJsonArray items;
    for (const UploadStore::Upload& upload : uploads.registered(*device)) {
        const QJsonValue key = shape == QLatin1String("text-key") ? QJsonValue(QString::number(upload.key))
                                                                  : QJsonValue(upload.key);
        if (shape == QLatin1String("repeated-key"))
            items.append(QJsonObject{{QStringLiteral("key"), key}, {QStringLiteral("status"), QStringLiteral("superseded")}});
        items.append(QJsonObject{{QStringLiteral("key"), key}, {QStringLiteral("status"), upload.status}});
    }
    return CatalogueReply::json(QJsonObject{{QStringLiteral("uploads"), items}});
}

CatalogueReply receiveFile(UploadStore& uploads, const CatalogueRequest& request)
{
    if (!request.header("authorization").isEmpty())
        return badRequest(QStringLiteral("The storage host takes no bearer key"));
    if (request.header("content-type") != "video/mp4")
        return CatalogueReply::error(415, QStringLiteral("Content-Type must be video/mp4"));
    const QString token = request.captures.value(0);
    if (request.queryValue(QStringLiteral("signature")) != token)
        return CatalogueReply::error(403, QStringLiteral("The signature does not match"));
    if (request.body.isEmpty())
        return badRequest(QStringLiteral("The file is empty"));
    if (!uploads.receiveFile(token, request.captures.value(1).toLongLong(), request.body.size()))
        return CatalogueReply::error(404, QStringLiteral("No such upload address"));
    return CatalogueReply::json(QJsonObject());
}
} // namespace

void UploadEndpoints::install(Router& router, const CatalogueData& data, UploadStore& uploads, const ReplyShapes& shapes,
                              const QString& baseUrl)
{
    router.backend(HttpMethod::Post, QStringLiteral("request-upload-url"),
                   [&uploads, &shapes, baseUrl](const CatalogueRequest& request) {
                       return uploadAddress(uploads, shapes, baseUrl, request);
                   });
    router.backend(HttpMethod::Post, QStringLiteral("upload-wallpaper"), [&data, &uploads](const CatalogueRequest& request) {
        return registration(data, uploads, request);
    });
    router.backend(HttpMethod::Get, QStringLiteral("check-upload-status"), [&uploads, &shapes](const CatalogueRequest& request) {
        return statuses(uploads, shapes, request);
    });
    router.open(HttpMethod::Put, QStringLiteral(R"(/uploads/([0-9a-f-]{36})/(-?\d{1,19})\.mp4)"),
                [&uploads](const CatalogueRequest& request) { return receiveFile(uploads, request); });
}

} // namespace samplecatalogue
