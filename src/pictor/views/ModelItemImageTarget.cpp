#include "pictor/views/ModelItemImageTarget.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QPixmap>
#include <QThread>

namespace pictor {

ModelItemImageTarget::~ModelItemImageTarget()
{
    // A persistent index is kept in its model's books: a load's closures may end on a worker
    // thread, so the index is let go on the GUI thread, where the model lives.
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread())
        return;
    auto* held = new QPersistentModelIndex(std::move(index_));
    QMetaObject::invokeMethod(application, [held] { delete held; }, Qt::QueuedConnection);
}

QObject* ModelItemImageTarget::object() const
{
    return index_.isValid() ? const_cast<QAbstractItemModel*>(index_.model()) : nullptr;
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
