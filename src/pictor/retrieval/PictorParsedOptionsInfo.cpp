#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"

#include <algorithm>

namespace pictor {

PictorParsedOptionsInfo::PictorParsedOptionsInfo() : processor(DefaultImageProcessor::shared()) {}

PictorParsedOptionsInfo::PictorParsedOptionsInfo(const std::optional<QList<PictorOptionsInfoItem>>& items)
    : PictorParsedOptionsInfo()
{
    if (!items)
        return;
    for (const PictorOptionsInfoItem& item : *items)
        item.applyTo(*this);
    // A null processor stands for the default one: every stage calls the processor it is given.
    if (!processor)
        processor = DefaultImageProcessor::shared();
    const bool namesOriginal = std::any_of(items->begin(), items->end(), [](const PictorOptionsInfoItem& item) {
        return item.kind() == PictorOptionsInfoItem::Kind::originalCache;
    });
    if (!namesOriginal)
        originalCache = targetCache;
}

const QList<PictorOptionsInfoItem>& PictorParsedOptionsInfo::emptyOptions()
{
    static const QList<PictorOptionsInfoItem> empty;
    return empty;
}

} // namespace pictor
