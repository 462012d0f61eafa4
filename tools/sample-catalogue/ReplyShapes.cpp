#include "ReplyShapes.h"

namespace samplecatalogue {

void ReplyShapes::setShape(const QString& path, const QString& shape)
{
    std::lock_guard lock(mutex_);
    if (shape.isEmpty())
        shapes_.remove(path);
    else
        shapes_.insert(path, shape);
}

void ReplyShapes::clear()
{
    std::lock_guard lock(mutex_);
    shapes_.clear();
}

QString ReplyShapes::shapeFor(const CatalogueRequest& request, const QString& usual) const
{
    const QByteArray requested = request.header(kHeader);
    if (!requested.isEmpty())
        return QString::fromUtf8(requested);
    std::lock_guard lock(mutex_);
    return shapes_.value(request.path, usual);
}

} // namespace samplecatalogue
