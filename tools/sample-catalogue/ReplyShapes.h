#pragma once

#include "CatalogueRequest.h"

#include <QHash>
#include <QString>

#include <mutex>

namespace samplecatalogue {

// The reply shape a test asked for. Endpoints whose real backend may answer in several shapes
// serve their usual one unless told otherwise: for every request to a path (setShape), or for
// one request by the header "X-Sample-Reply-Shape". Thread-safe.
class ReplyShapes {
public:
    static constexpr const char* kHeader = "X-Sample-Reply-Shape";

    // An empty shape goes back to the usual one.
    void setShape(const QString& path, const QString& shape);
    void clear();

    // The request's header, else the shape set for its path, else `usual`.
    QString shapeFor(const CatalogueRequest& request, const QString& usual) const;

private:
    mutable std::mutex mutex_;
    QHash<QString, QString> shapes_;
};

} // namespace samplecatalogue
