#include "foundation/Paths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Every user folder of this test program lives in one temporary folder, so a shared service
// made on first use (and kept until exit) never reaches the user's real files; each test still
// moves the roots again with its own TempFolder.
class AppTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { paths_ = std::make_unique<Paths::Override>(folder_.path()); }
    void TearDown() override { paths_.reset(); }

private:
    QTemporaryDir folder_;
    std::unique_ptr<Paths::Override> paths_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

} // namespace
