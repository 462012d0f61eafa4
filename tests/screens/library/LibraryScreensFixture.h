#pragma once

#include "engine/ApplyHarness.h"
#include "engine/WallpaperImageCache.h"
#include "engine/WallpaperManager.h"
#include "library/CreatePlaylistPopupService.h"
#include "screens/PageLinks.h"
#include "screens/browse/LikedView.h"
#include "screens/library/PlaylistCardView.h"
#include "state/ExplorePageService.h"
#include "ui/AlertSheet.h"
#include "ui/BrowseContext.h"
#include "ui/DarkAppearance.h"
#include "ui/LazyGridView.h"
#include "ui/SheetHost.h"

#include <QLinearGradient>
#include <QPainter>

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <QTest>

// The library tab in a window of its own with a sheet host, over the real stores and the real
// apply pipeline on fake displays (so a started playlist really puts its wallpapers on the
// desktop). Analytics signals are recorded.
class LibraryScreensFixture : public ApplyHarness {
protected:
    LibraryScreensFixture()
    {
        window_.resize(1280, 900);
        DarkAppearance::apply(&window_);
    }

    LikedView& showPage()
    {
        // As the root view holds it: in the window's main scroll view.
        PageLinks links;
        links.sheets = &sheets_;
        page_ = new LikedView(&context_, links);
        auto* scroll = new QScrollArea(&window_);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(page_);
        scroll->setGeometry(window_.rect());
        window_.show();
        sheets_.raise();
        [&] { ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_)); }();
        QCoreApplication::processEvents();
        return *page_;
    }

    // A liked catalogue wallpaper (its poster in the image cache, each its own colour) and an
    // own video.
    WallpaperModel like(qint64 key, const QString& title = QStringLiteral("Misty Pine Valley"))
    {
        WallpaperModel model = record(key, title);
        QImage poster(640, 360, QImage::Format_RGB32);
        QPainter painter(&poster);
        QLinearGradient fill(0, 0, 640, 360);
        fill.setColorAt(0, QColor::fromHsv(int(key * 47 % 360), 170, 230));
        fill.setColorAt(1, QColor::fromHsv(int(key * 91 % 360), 200, 90));
        painter.fillRect(poster.rect(), fill);
        painter.end();
        images_.store(poster, *model.posterUrl);
        liked_.addWallpaper(model, true);
        return model;
    }
    WallpaperModel own(qint64 key)
    {
        const WallpaperModel model = *customRequest(key).wallpaper;
        custom_.addCustomWallpaper(model);
        return model;
    }
    WallpaperPlaylist makePlaylist(const QString& name, const QList<qint64>& keys, qint64 interval = 300)
    {
        const WallpaperPlaylist created = playlists_.createPlaylist(name, interval);
        playlists_.setWallpaperKeys(keys, created.id);
        return *playlists_.playlist(created.id);
    }

    // Lets the rotation's running apply end.
    void settle(PlaylistPlaybackService& rotation)
    {
        QCoreApplication::processEvents();
        EXPECT_TRUE(waitUntil([&] { return !rotation.isApplying(); }));
    }
    PlaylistCardView* cardOf(const QUuid& id)
    {
        QCoreApplication::processEvents();
        return qobject_cast<PlaylistCardView*>(page_->playlistGrid()->cellForKey(id));
    }
    template <typename Sheet>
    Sheet* topSheet() const
    {
        return qobject_cast<Sheet*>(sheets_.sheet());
    }
    static void click(QWidget* widget, QPointF at = {-1, -1})
    {
        const QPoint point = at.x() < 0 ? widget->rect().center() : at.toPoint();
        QTest::mouseClick(widget, Qt::LeftButton, {}, point);
    }
    // The open alert, answered with the button of that text.
    bool answerAlert(const QString& button)
    {
        AlertSheet* alert = nullptr;
        if (!QTest::qWaitFor([&] { return (alert = AlertSheet::shown(&window_)) != nullptr; }, 5000))
            return false;
        const bool pressed = alert->press(button);
        QCoreApplication::processEvents();
        return pressed;
    }

    WallpaperImageCache images_{temp_.file(QStringLiteral("images"))};
    Shared<WallpaperImageCache>::Override imagesOverride_{images_};
    ExplorePageService explore_{api_};
    Shared<ExplorePageService>::Override exploreOverride_{explore_};
    CreatePlaylistPopupService popup_;
    Shared<CreatePlaylistPopupService>::Override popupOverride_{popup_};
    QWidget window_;
    SheetHost sheets_{&window_};
    BrowseContext context_;
    LikedView* page_ = nullptr;
    QStringList signals_;
    WallpaperManager manager_{[this](const QString& name, const QHash<QString, QString>&) { signals_.append(name); }};
    Shared<WallpaperManager>::Override managerOverride_{manager_};
};
