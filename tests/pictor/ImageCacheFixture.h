#pragma once

#include "CacheTestSupport.h"
#include "TestImages.h"

#include "pictor/cache/ImageCache.h"

#include <QTest>

#include <gtest/gtest.h>

// A cache on a temporary folder whose storages read a manual clock.
class ImageCacheFixture : public ::testing::Test {
protected:
    void SetUp() override { cache = make(QStringLiteral("test")); }

    std::shared_ptr<pictor::ImageCache> make(const QString& name, uint64_t sizeLimit = 0)
    {
        pictor::MemoryStorageConfig memory(0, 3600);
        memory.clock = clock.clock();
        pictor::DiskStorageConfig disk(name, sizeLimit, temp.path());
        disk.clock = clock.clock();
        auto diskStorage = pictor::DiskStorage::create(disk, true);
        EXPECT_TRUE(QTest::qWaitFor([&] { return diskStorage->isScanFinished(); }, 5000));
        return pictor::ImageCache::create(pictor::MemoryStorage<pictor::Image>::create(memory), diskStorage);
    }

    // Stores to memory and disk and waits for the disk part.
    pictor::CacheStoreResult storeAndWait(const pictor::Image& image, const QString& key,
                                          const pictor::PictorParsedOptionsInfo& options = {})
    {
        std::optional<pictor::CacheStoreResult> result;
        cache->store(image, std::nullopt, key, options, true, [&](pictor::CacheStoreResult r) { result = r; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
        return result.value_or(pictor::CacheStoreResult());
    }

    static pictor::Image picture() { return pictor::Image(testimages::quadrants(QSize(40, 30))); }

    QTemporaryDir temp;
    ManualClock clock;
    std::shared_ptr<pictor::ImageCache> cache;
};
