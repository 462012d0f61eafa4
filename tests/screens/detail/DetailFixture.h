#pragma once

#include "engine/ApplyHarness.h"
#include "engine/EntriesJSONService.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperImageCache.h"
#include "engine/WallpaperManager.h"
#include "screens/detail/FullScreenHero.h"
#include "screens/detail/FullScreenView.h"
#include "support/Eventually.h"
#include "ui/BrowseContext.h"
#include "ui/CachedAsyncImage.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/NavigationHost.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/VideoPlayerPool.h"

#include <QTest>
#include <QWidget>

#include <memory>

// The full-screen page on the real services of the apply harness (two displays, a sample
// catalogue, in-memory stores), with the analytics signals recorded, a window holding a
// navigation host and the toast overlay, and a root selection that pushes the page as the root
// view does.
class DetailFixture : public ApplyHarness {
protected:
    struct SentSignal {
        QString name;
        QHash<QString, QString> parameters;
    };

    DetailFixture()
    {
        window_.resize(1280, 800);
        host_ = new NavigationHost(new QWidget, &window_);
        host_->resize(window_.size());
        new NotificationToastOverlay(toast_, &window_);
        QObject::connect(&root_, &BrowseContext::selectedWallpaperChanged, host_, [this] {
            if (const auto selected = root_.selectedWallpaper())
                host_->push(new FullScreenView(*selected, &root_, FullScreenView::Options{}));
            else if (host_->depth() > 1)
                host_->pop();
        });
    }

    // A catalogue record whose previews and master live on the sample catalogue.
    WallpaperModel catalogueRecord(qint64 key = kCatalogueKey, const QString& title = QStringLiteral("Misty Pine Valley"))
    {
        WallpaperModel model = record(key, title);
        model.previewhdUrl = QUrl(assetUrl(key, QStringLiteral("previewhd.mp4")));
        model.resolution = QStringLiteral("1920×1080");
        model.fileSize = QStringLiteral("24MB");
        model.duration = QStringLiteral("0:03s");
        return model;
    }

    ~DetailFixture() override
    {
        // Pages go first, and their image loads get the turn in which they stop.
        delete host_;
        QTest::qWait(50);
    }

    FullScreenView* open(const WallpaperModel& wallpaper, bool waitForPoster = true)
    {
        window_.show();
        window_.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window_));
        root_.setSelectedWallpaper(wallpaper);
        auto* page = qobject_cast<FullScreenView*>(host_->currentPage());
        // The poster arrived: no transfer of it outlives the test.
        EXPECT_TRUE(page && (!waitForPoster || waitUntil([&] { return page->hero()->poster()->hasImage(); })));
        return page;
    }

    QList<SentSignal> signalsNamed(const QString& name) const
    {
        QList<SentSignal> found;
        for (const SentSignal& sent : signals_) {
            if (sent.name == name)
                found.append(sent);
        }
        return found;
    }

    // Switching the lock-screen feature edits this test's manifest.
    EntriesJSONService manifests_{folders_};
    Shared<EntriesJSONService>::Override manifestsOverride_{manifests_};
    QList<SentSignal> signals_;
    WallpaperManager analytics_{[this](const QString& name, const QHash<QString, QString>& parameters) {
        signals_.append({name, parameters});
    }};
    Shared<WallpaperManager>::Override analyticsOverride_{analytics_};
    VideoCacheService videoCache_;
    Shared<VideoCacheService>::Override videoCacheOverride_{videoCache_};
    WallpaperImageCache images_{Paths::appCaches() + QStringLiteral("/images")};
    Shared<WallpaperImageCache>::Override imagesOverride_{images_};
    VideoPlayerPool players_;
    Shared<VideoPlayerPool>::Override playersOverride_{players_};
    EscapeKeyFilter escape_;
    Shared<EscapeKeyFilter>::Override escapeOverride_{escape_};
    BrowseContext root_;
    QWidget window_;
    NavigationHost* host_;
};
