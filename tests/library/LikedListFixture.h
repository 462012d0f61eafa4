#pragma once

#include "LibraryFixture.h"

#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "foundation/Clock.h"
#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "library/LikedWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "platform/Http.h"
#include "support/TestHttpsServer.h"

#include <QSignalSpy>

#include <httplib.h>

#include <mutex>

// The real liked list on a fresh defaults file, whose likes are counted by a loopback backend
// that records the keys it was asked to count.
class LikedListFixture : public LibraryFixture {
protected:
    LikedListFixture()
    {
        config_.caCertificateFile = TestHttpsServer::certificateFile();
        server_.routes().Get("/functions/v1/increment-wallpaper", [this](const httplib::Request& req, httplib::Response& res) {
            const std::lock_guard lock(mutex_);
            counted_.append(QString::fromStdString(req.get_param_value("type") + ":" + req.get_param_value("key")));
            res.set_content("{}", "application/json");
        });
        server_.start();
        api_ = std::make_unique<APIService>(backendAt(server_.url(QStringLiteral("/functions/v1")).toString()), clock_, http_);
        counter_ = std::make_unique<WallpaperCounterService>(*api_);
        restart();
        // The list is read on a worker even when nothing is stored: a like made before it
        // arrives would wait for it.
        QSignalSpy loaded(liked_.get(), &LikedWallpapersService::isLoadingChanged);
        EXPECT_TRUE(loaded.wait(10'000));
    }

    LikedWallpapersService& restart()
    {
        liked_.reset();
        playlists_.reset();
        reopenDefaults();
        playlists_ = std::make_unique<WallpaperPlaylistService>(defaults(), clock_);
        liked_ = std::make_unique<LikedWallpapersService>(defaults(), *playlists_, *counter_);
        return *liked_;
    }
    LikedWallpapersService& liked() { return *liked_; }

    QStringList counted()
    {
        const std::lock_guard lock(mutex_);
        return counted_;
    }

    ManualClock clock_;
    Config config_;
    Shared<Config>::Override configOverride_{config_};
    TestHttpsServer server_;
    Http http_;
    std::unique_ptr<APIService> api_;
    std::unique_ptr<WallpaperCounterService> counter_;
    std::unique_ptr<WallpaperPlaylistService> playlists_;
    std::unique_ptr<LikedWallpapersService> liked_;
    std::mutex mutex_;
    QStringList counted_;
};
