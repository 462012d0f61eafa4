#include "pictor/views/ModelItemImageTarget.h"

#include <QAbstractItemModel>
#include <QPixmap>

namespace pictor {

QObject* ModelItemImageTarget::object() const
{
    return index_.isValid() ? const_cast<QAbstractItemModel*>(index_.model()) : nullptr;
}

QString ModelItemImageTarget::slotOf(const QModelIndex& index)
{
    // The cell's place from the root: each cell of the model keeps its own request identity.
    QStringList path;
    for (QModelIndex at = index; at.isValid(); at = at.parent())
        path.prepend(QStringLiteral("%1,%2").arg(at.row()).arg(at.column()));
    return QStringLiteral("decoration:") + path.join(QLatin1Char('/'));
}

std::optional<Image> ModelItemImageTarget::image() const
{
    if (!index_.isValid())
        return std::nullopt;
    const QVariant shown = index_.data(Qt::DecorationRole);
    if (!shown.isValid())
        return std::nullopt;
    return Image(shown.value<QPixmap>().toImage());
}

void ModelItemImageTarget::setImage(const std::optional<Image>& image, const PictorParsedOptionsInfo&)
{
    if (!index_.isValid())
        return;
    auto* model = const_cast<QAbstractItemModel*>(index_.model());
    model->setData(index_, image && image->hasBitmap() ? QVariant(QPixmap::fromImage(image->bitmap())) : QVariant(), Qt::DecorationRole);
}

} // namespace pictor
