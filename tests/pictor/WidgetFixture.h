#pragma once

#include "ManagerFixture.h"

#include "pictor/retrieval/PictorManager.h"
#include "pictor/views/WidgetImageLoading.h"

// The shared manager, which the widgets load through, pointed at the loopback server's
// downloader and a cache on a temporary folder for the test, and put back afterwards.
class WidgetFixture : public ManagerFixture {
protected:
    void SetUp() override
    {
        ManagerFixture::SetUp();
        const auto& shared = pictor::PictorManager::shared();
        savedDownloader = shared->downloader();
        savedCache = shared->cache();
        shared->setDownloader(downloader);
        shared->setCache(cache);
    }
    void TearDown() override
    {
        // Transfers still running would call back into the test's objects.
        downloader->cancelAll();
        QTest::qWait(20);
        pictor::PictorManager::shared()->setDownloader(savedDownloader);
        pictor::PictorManager::shared()->setCache(savedCache);
        ManagerFixture::TearDown();
    }

    // Records every completion of a load.
    struct Completions {
        QList<pictor::ImageSetting::SettingResult> results;
        pictor::ImageSetting::Completion record()
        {
            return [this](pictor::ImageSetting::SettingResult result) { results.append(std::move(result)); };
        }
        bool notCurrent(qsizetype i) const { return results[i].isFailure() && results[i].error().isNotCurrentTask(); }
    };

    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10000); }

    std::shared_ptr<pictor::ImageDownloader> savedDownloader;
    std::shared_ptr<pictor::ImageCache> savedCache;
};
