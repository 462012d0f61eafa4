#pragma once

#include "backend/APIService.h"
#include "foundation/Async.h"
#include "foundation/Shared.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "screens/browse/HomeView.h"
#include "state/AppStore.h"
#include "state/Delays.h"
#include "state/HomePageService.h"
#include "support/CatalogueSession.h"
#include "support/Eventually.h"
#include "ui/BrowseContext.h"
#include "ui/Theme.h"

#include <QScrollArea>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <memory>

// The home page as the main window holds it (in a scroll area, 1280 × 800), over a sample
// catalogue that a test may edit or make fail, with its own application state and home feed
// standing in for the shared ones.
class HomeFixture : public ::testing::Test {
protected:
    // Posters decode on a loaded machine beside every other test: a page's took over 20 s there.
    static constexpr int kLoadMs = 60'000;
    // Failed loads are tried again quickly here.
    static constexpr int kRetryMs = 40;

    explicit HomeFixture(const CatalogueSession::SeedEdit& edit = {}) : session_(edit) {}

    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }
    void TearDown() override
    {
        window_.reset();
        // Loads the page started end (cancelled) before the services go: decodes on the pool
        // first, then a few turns for the cancelled transfers.
        EXPECT_TRUE(QTest::qWaitFor([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 10'000));
        // The hero's players shut down off the GUI thread (up to 0.2 s each, longer while one
        // still reads from the network): done before the process and its TLS library end.
        QTest::qWait(1500);
    }

    samplecatalogue::SampleCatalogue& server() { return session_.server(); }
    static QString path(const QString& endpoint) { return CatalogueSession::path(endpoint); }

    // Builds the page, shows it and starts the application's first load.
    HomeView& show(int width = 1280, int height = 800)
    {
        context_.setWindowSize(QSize(width, height));
        window_ = std::make_unique<QScrollArea>();
        window_->setPalette(Theme::palette());
        window_->setWidgetResizable(true);
        window_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        page_ = new HomeView(&context_, links_, [this] { ++updateChecks_; }, {store_, home_, session_.api(), kRetryMs});
        window_->setWidget(page_);
        window_->resize(width, height);
        window_->show();
        fireAndForget(store_.initializeIfNeeded());
        return *page_;
    }
    bool feedShows() const { return !home_.isShowingLoader() && page_->hero()->isVisible(); }

    CatalogueSession session_;
    HomePageService home_{session_.api()};
    AppStore store_{session_.api(), home_, Delays::real()};
    Shared<APIService>::Override api_{session_.api()};
    Shared<HomePageService>::Override homeOverride_{home_};
    Shared<AppStore>::Override storeOverride_{store_};
    BrowseContext context_;
    PageLinks links_;
    int updateChecks_ = 0;
    std::unique_ptr<QScrollArea> window_;
    HomeView* page_ = nullptr;
};
