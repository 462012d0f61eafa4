#pragma once

#include "ImageCacheFixture.h"
#include "ImageServer.h"

#include "pictor/retrieval/ImageResource.h"
#include "pictor/retrieval/PictorManager.h"

#include <QTest>

#include <gtest/gtest.h>

inline pictor::Source network(const QUrl& url, const std::optional<QString>& key = std::nullopt)
{
    return pictor::Source::network(std::make_shared<pictor::ImageResource>(url, key));
}

// A manager over a real cache on a temporary folder and a real downloader of the loopback server.
class ManagerFixture : public ImageCacheFixture {
protected:
    void SetUp() override
    {
        ImageCacheFixture::SetUp();
        manager = pictor::PictorManager::create(downloader, cache);
    }
    void TearDown() override { drain(cache); }

    // Waits until the disk writes a retrieval left running have reported back on the GUI thread,
    // as they would in the running program: nothing of the test outlives it.
    static void drain(const std::shared_ptr<pictor::ImageCache>& target)
    {
        bool drained = false;
        target->calculateDiskStorageSize([&drained](pictor::Result<uint64_t, pictor::PictorError>) { drained = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return drained; }, 5000));
    }

    // Retrieves and waits for the one completion; a second one fails the test.
    pictor::PictorManager::RetrieveResult retrieve(const pictor::Source& source, const pictor::PictorManager::OptionList& options = std::nullopt)
    {
        auto calls = std::make_shared<int>(0);
        std::optional<pictor::PictorManager::RetrieveResult> result;
        lastTask = manager->retrieveImage(source, options, {}, {}, [&result, calls](pictor::PictorManager::RetrieveResult r) {
            ++*calls;
            result.emplace(std::move(r));
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
        QTest::qWait(20);
        EXPECT_EQ(*calls, 1);
        if (!result)
            return pictor::PictorManager::RetrieveResult::failure(pictor::PictorError::emptySource());
        return std::move(*result);
    }

    ImageServer server;
    std::shared_ptr<pictor::ImageDownloader> downloader = ImageServer::downloader();
    std::shared_ptr<pictor::PictorManager> manager;
    std::shared_ptr<pictor::DownloadTask> lastTask;
};
