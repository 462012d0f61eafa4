#pragma once

#include "pictor/networking/ImageDownloader.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include <QList>
#include <QTest>

// Every completion a caller received.
struct Outcomes {
    QList<pictor::ImageDownloader::ImageResult> results;

    pictor::ImageDownloader::Completion completion()
    {
        return [this](pictor::ImageDownloader::ImageResult result) { results.append(std::move(result)); };
    }
    bool waitFor(qsizetype count) { return QTest::qWaitFor([&] { return results.size() >= count; }, 10000); }
};

inline pictor::PictorParsedOptionsInfo options(QList<pictor::PictorOptionsInfoItem> items = {})
{
    return pictor::PictorParsedOptionsInfo(items);
}

inline pictor::PictorParsedOptionsInfo withModifier(std::shared_ptr<const pictor::AsyncImageDownloadRequestModifier> modifier)
{
    return options({pictor::PictorOptionsInfoItem::requestModifier(std::move(modifier))});
}
