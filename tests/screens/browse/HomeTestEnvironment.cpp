#include "foundation/Paths.h"
#include "engine/WallpaperImageCache.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Shared services made on first use (the liked list, the image cache) keep their files in one
// temporary folder for the whole test program, never in the user's own folders.
class HomeTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { paths_ = std::make_unique<Paths::Override>(folder_.path()); }
    void TearDown() override
    {
        // Poster writes still encoding on the shared cache's workers would race the process's end.
        WallpaperImageCache::shared().waitForDiskWrites();
        paths_.reset();
    }

private:
    QTemporaryDir folder_;
    std::unique_ptr<Paths::Override> paths_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new HomeTestEnvironment);

} // namespace
