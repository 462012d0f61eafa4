#include "library/OwnFixture.h"

#include "engine/ApplyToast.h"
#include "engine/WallpaperImageCache.h"
#include "library/OwnVideoFacts.h"
#include "library/PendingUploadService.h"
#include "platform/DesktopPortalFileChooser.h"
#include "screens/own/CustomBackgroundImageLoader.h"
#include "screens/own/CustomView.h"
#include "screens/own/DragDropArea.h"
#include "screens/own/UploadStatuses.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "state/ExploreWallpapersService.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "support/ImmediateDelays.h"
#include "ui/AlertSheet.h"
#include "ui/BrowseContext.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFileDialog>
#include <QStandardPaths>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>

namespace {

class CustomViewTest : public OwnFixture {
protected:
    CustomViewTest()
    {
        waitForTask(appStore_.initializeIfNeeded());
        view_.resize(1280, 1500);
        view_.show();
    }
    ~CustomViewTest() override
    {
        // No request may outlive the client it was sent with.
        static_cast<void>(QTest::qWaitFor([&] {
            return !explore_.isLoading() && !view_.statuses().isLoading() && view_.pendingWork() == 0;
        }, 20'000));
    }

    // Waits until every intake and import has finished.
    void settle() { ASSERT_EVENTUALLY(view_.pendingWork() == 0, 30'000); }
    AlertSheet* alert() { return AlertSheet::shown(&view_); }
    // An own wallpaper whose key the catalogue reserved for this device, with a review status.
    void ownUpload(const QString& title, const QString& status)
    {
        const UploadURLResponse address = waitForTask(api_->requestUploadURL(device_));
        waitForTask(api_->uploadWallpaper(device_, title, 3, address.wallpaperKey));
        catalogue_.server().uploads().setStatus(address.wallpaperKey.toLongLong(), status);
        const QString file = copyOf(Clip::Uhd, title + QStringLiteral(".mp4"));
        store_.addCustomWallpaper(OwnVideoFacts{}.record(QUrl::fromLocalFile(file), address.wallpaperKey.toLongLong(), title,
            QStringLiteral("Custom")));
    }
    // Lets the cards show their first frames before a picture is taken.
    void letCardsDraw()
    {
        static_cast<void>(QTest::qWaitFor([&] {
            const auto cards = view_.findChildren<PosterCardView*>();
            return std::all_of(cards.begin(), cards.end(), [](PosterCardView* card) { return card->isPreviewShown() || card->hasPoster(); });
        }, 8000));
        QTest::qWait(200);
    }

    HomePageService homePage_{*api_};
    AppStore appStore_{*api_, homePage_, Delays::real()};
    ExplorePageService explore_{*api_, clock_};
    ExploreWallpapersService lists_{*api_, clock_};
    PendingUploadService pending_;
    WallpaperImageCache images_{temp_.file(QStringLiteral("images"))};
    BrowseContext context_;
    CustomView view_{&context_, CustomView::Services{appStore_, store_, explore_, lists_, pending_, *api_, Http::shared(), images_,
                                    media_, [this] { return device_; }}};
};

TEST_F(CustomViewTest, EmptyPageThenImportsNewestFirstWithTheirStatuses)
{
    ASSERT_EVENTUALLY(view_.isLatestSectionShown() && !view_.background().image().isNull(), 20'000);
    EXPECT_TRUE(view_.isEmptyStateShown());
    EXPECT_TRUE(view_.clearAllButton()->isHidden());
    letCardsDraw();
    saveScreenshot(view_, QStringLiteral("own-wallpapers-empty"));
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/functions/v1/check-upload-status")), 0);

    QString picked;
    view_.setFilePicker([&](QWidget*, const QString& message, std::function<void(QString)> onPick) {
        picked = message;
        onPick(copyOf(Clip::Uhd, QStringLiteral("aurora-borealis-live-wallpaper.mp4")));
    });
    view_.personalUseButton()->clicked();
    settle();
    EXPECT_EQ(picked, QStringLiteral("Select an MP4 video for personal use"));
    EXPECT_FALSE(view_.isEmptyStateShown());
    EXPECT_FALSE(view_.clearAllButton()->isHidden());
    ASSERT_EQ(store_.orderedCustomWallpapers().size(), 1);
    EXPECT_EQ(store_.orderedCustomWallpapers()[0].title, QStringLiteral("Aurora Borealis"));

    ownUpload(QStringLiteral("Night Drive"), QStringLiteral("Approved"));
    ownUpload(QStringLiteral("Koi Pond"), QStringLiteral("in review"));
    ownUpload(QStringLiteral("Glitch Storm"), QStringLiteral("rejected_by_moderator"));
    view_.appeared(); // shown again: the statuses are fetched anew
    ASSERT_EVENTUALLY(view_.statuses().statuses().size() == 3 && !view_.statuses().isLoading(), 10'000);
    EXPECT_EQ(view_.ownGrid()->keys().size(), 4);
    letCardsDraw();
    saveScreenshot(view_, QStringLiteral("own-wallpapers-statuses"));
}

TEST_F(CustomViewTest, DropsAreCheckedAndEveryRefusalIsTold)
{
    const QString good = copyOf(Clip::Uhd, QStringLiteral("a.MP4"));
    const QString small = copyOf(Clip::SmallLong, QStringLiteral("c.mp4"));
    view_.handleDroppedFiles({good, temp_.file(QStringLiteral("b.mov")), small});
    settle();
    EXPECT_EQ(pending_.pendingFilePath(), good);
    ASSERT_TRUE(context_.selectedWallpaper());
    EXPECT_EQ(context_.selectedWallpaper()->masterUrl, QUrl::fromLocalFile(good));
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), QStringLiteral("Validation Error"));
    EXPECT_EQ(alert()->message(), QStringLiteral("Resolution must be at least 3840×2160 (4K) (current: 320×180)\n\n"
                                                 "Duration must be less than 60 seconds (current: 1:15s)"));
    saveScreenshot(view_, QStringLiteral("own-wallpapers-validation-error"));
    EXPECT_TRUE(alert()->press(QStringLiteral("OK")));
    ASSERT_EVENTUALLY(!alert(), 2000);

    view_.handleDroppedFiles({temp_.file(QStringLiteral("notes.txt")), temp_.file(QStringLiteral("clip.mov"))});
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->message(), QStringLiteral("Only MP4 videos can be shared (not: notes.txt, clip.mov)"));
}

// The personal path takes what the community path takes: an MPEG-4 video by its content, named
// ".mp4" or ".m4v"; anything else gets the "Could Not Add Video" alert and leaves no card.
TEST_F(CustomViewTest, APersonalFileThatIsNoVideoIsRefusedWithTheAlert)
{
    const QString empty = temp_.file(QStringLiteral("empty.mp4"));
    QFile(empty).open(QIODevice::WriteOnly);
    view_.addPersonalUseWallpaper(empty);
    settle();
    ASSERT_EVENTUALLY(alert() != nullptr, 10'000);
    EXPECT_EQ(alert()->title(), QStringLiteral("Could Not Add Video"));
    EXPECT_EQ(alert()->message(), QStringLiteral("This file is not a video Quorvelle can play.")) << "the path and FFmpeg's words are the log's";
    saveScreenshot(view_, QStringLiteral("own-wallpapers-not-a-video"));
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
    EXPECT_TRUE(alert()->press(QStringLiteral("OK")));
    ASSERT_EVENTUALLY(!alert(), 2000);

    view_.addPersonalUseWallpaper(copyOf(Clip::Uhd, QStringLiteral("harbor.m4v")));
    settle();
    ASSERT_EVENTUALLY(store_.orderedCustomWallpapers().size() == 1, 10'000);
    EXPECT_FALSE(alert());

    // The community path takes the same name.
    view_.handleDroppedFiles({copyOf(Clip::Uhd, QStringLiteral("harbor.M4V"))});
    settle();
    ASSERT_EVENTUALLY(context_.selectedWallpaper().has_value(), 10'000);
    EXPECT_FALSE(alert());
}

// Without a desktop portal the dark chooser opens: in the user's videos folder (home when there
// is none), not in the folder the program was started from, with its columns shown whole.
TEST_F(CustomViewTest, TheDarkFileChooserOpensInTheVideosFolder)
{
    DesktopPortalFileChooser noPortal(QDBusConnection(QStringLiteral("no bus")));
    Shared<DesktopPortalFileChooser>::Override portalOverride(noPortal);
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString expected = QFileInfo(videos).isDir() ? videos : QDir::homePath();
    ASSERT_NE(QDir(expected), QDir::current()) << "the test must start elsewhere to tell the two apart";
    view_.openPersonalUsePanel();
    auto* dialog = view_.window()->findChild<QFileDialog*>();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(QDir(dialog->directory()), QDir(expected));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    saveScreenshot(*dialog, QStringLiteral("own-wallpapers-file-chooser"));
    dialog->reject();
}

// The shared toast while a personal-use import copies and an apply (from the main window or the
// rotation: both report through ApplyToast) shows too. Delays are immediate, so a hide is due at
// once; what the event loop holds is run before each look.
class ImportToastTest : public CustomViewTest {
protected:
    ImportToastTest()
    {
        // A video padded past one copied block, so the copy reports on its way.
        QFile file(source_);
        EXPECT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(20 << 20, '\0'));
        QObject::connect(&toast_, &NotificationManager::messageChanged, &toast_, [this] { events_.append(toast_.message()); });
        QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &toast_,
            [this] { events_.append(toast_.isPresented() ? QStringLiteral("shown") : QStringLiteral("hidden")); });
    }
    void importFinished()
    {
        settle();
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::sendPostedEvents();
    }

    const QString source_ = copyOf(Clip::Uhd, QStringLiteral("long take.mp4"));
    NotificationManager toast_{immediateDelays()};
    Shared<NotificationManager>::Override toastOverride_{toast_};
    ApplyToast apply_{toast_, std::make_shared<ApplyToast::Holder>(), 1, QStringLiteral("Aurora"), std::nullopt};
    // What the toast did: its messages, "shown" and "hidden".
    QStringList events_;
};

// An apply's toast shown while an import copies takes the panel and the import's end waits:
// once the apply's toast hides, the import's comes back and tells it.
TEST_F(ImportToastTest, AnImportShownOverTellsItsEndOnceTheNewerToastHides)
{
    view_.addPersonalUseWallpaper(source_);
    EXPECT_TRUE(toast_.isCancellable());
    apply_.show(ApplyToast::Stage::downloading, QStringLiteral("Downloading wallpaper..."), 0.2, false);
    EXPECT_FALSE(toast_.isCancellable()) << "no Stop of the import on the apply's toast";
    events_.clear();
    importFinished();
    ASSERT_EQ(store_.orderedCustomWallpapers().size(), 1) << "the import itself went on";
    EXPECT_EQ(events_, QStringList{QStringLiteral("shown")}) << "nothing of the import's end while the apply's toast shows";
    EXPECT_EQ(toast_.title(), QStringLiteral("Aurora"));
    EXPECT_EQ(toast_.progress(), 0.2);

    apply_.update(ApplyToast::Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
    apply_.hide(2.0);
    ASSERT_EVENTUALLY(events_.count(QStringLiteral("hidden")) == 2, 10'000) << events_.join(u'|').toStdString();
    EXPECT_EQ(events_.mid(0, 6), (QStringList{QStringLiteral("shown"), QStringLiteral("Wallpaper applied"), QStringLiteral("hidden"),
        QStringLiteral("Video added"), QStringLiteral("shown"), QStringLiteral("hidden")}))
        << events_.join(u'|').toStdString();
}

TEST_F(ImportToastTest, AnImportShownOverAnApplyKeepsItsOwnContentAndStop)
{
    apply_.show(ApplyToast::Stage::downloading, QStringLiteral("Downloading wallpaper..."), 0.2, false);
    view_.addPersonalUseWallpaper(source_);
    events_.clear();
    // The apply goes on and ends as it would; none of it reaches the import's toast.
    apply_.update(ApplyToast::Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
    apply_.hide(2.0);
    EXPECT_EQ(toast_.message(), QStringLiteral("Copying long take.mp4…"));
    EXPECT_EQ(toast_.progress(), 0.0);
    ASSERT_TRUE(toast_.isCancellable());
    toast_.cancel();
    importFinished();
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty()) << "Stop stopped the import";
    const qsizetype stopped = events_.indexOf(QStringLiteral("Stopped: the video was not added"));
    ASSERT_GE(stopped, 0) << events_.join(u'|').toStdString();
    // The Stop is answered at once, before the copy and its clean-up have ended.
    const qsizetype stopping = events_.indexOf(QStringLiteral("Stopping…"));
    EXPECT_GE(stopping, 0) << events_.join(u'|').toStdString();
    EXPECT_LT(stopping, stopped);
    EXPECT_FALSE(events_.mid(0, stopped).contains(QStringLiteral("hidden"))) << "the apply's hide is not the import's";
    // The apply's end waits for the import's toast to hide, then comes back.
    ASSERT_EVENTUALLY(events_.count(QStringLiteral("hidden")) == 2, 10'000) << events_.join(u'|').toStdString();
    const qsizetype applied = events_.indexOf(QStringLiteral("Wallpaper applied"));
    EXPECT_GT(applied, events_.indexOf(QStringLiteral("hidden"))) << events_.join(u'|').toStdString();
}

// An import that fails while shown over tells its failure in the alert: once the covering toast
// hides, nothing of the import ("Copying …") comes back.
TEST_F(ImportToastTest, AnImportThatFailedWhileShownOverDoesNotComeBack)
{
    const QString empty = temp_.file(QStringLiteral("empty.mp4"));
    QFile(empty).open(QIODevice::WriteOnly);
    view_.addPersonalUseWallpaper(empty);
    apply_.show(ApplyToast::Stage::downloading, QStringLiteral("Downloading wallpaper..."), 0.2, false);
    events_.clear();
    ASSERT_EVENTUALLY(alert() != nullptr, 10'000);
    EXPECT_EQ(alert()->title(), QStringLiteral("Could Not Add Video"));
    importFinished();
    apply_.update(ApplyToast::Stage::applied, QStringLiteral("Wallpaper applied"), 1.0);
    apply_.hide(2.0);
    // The panel clears (an empty message) or the import's toast comes back.
    const auto settled = [this] {
        const qsizetype hidden = events_.indexOf(QStringLiteral("hidden"));
        return (hidden >= 0 && events_.mid(hidden).contains(QString())) || events_.contains(QStringLiteral("Copying empty.mp4…"));
    };
    ASSERT_EVENTUALLY(settled(), 10'000) << events_.join(u'|').toStdString();
    importFinished();
    EXPECT_FALSE(events_.contains(QStringLiteral("Copying empty.mp4…"))) << events_.join(u'|').toStdString();
    EXPECT_FALSE(toast_.isPresented());
}

// A file may be named with line breaks, bells and escape sequences: the toast and the drop's
// alert show the name on one line, without them.
TEST_F(ImportToastTest, FileNamesShowOnOneLineWithoutControlCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"two\nlines.mp4", "two lines.mp4"},
        {"bell\x07\x07.mp4", "bell.mp4"},
        {"\x1b[31mred\x1b[0m.mp4", "red.mp4"},
        {"\x1b]0;title\x07tab\there.mp4", "tab here.mp4"},
    };
    for (const auto& [name, shown] : cases) {
        SCOPED_TRACE(name);
        events_.clear();
        view_.addPersonalUseWallpaper(copyOf(Clip::Uhd, QString::fromUtf8(name)));
        const QString copying = QStringLiteral("Copying %1…").arg(QString::fromUtf8(shown));
        ASSERT_EVENTUALLY(events_.contains(copying), 10'000) << events_.join(u'|').toStdString();
        toast_.cancel();
        importFinished();
        ASSERT_EVENTUALLY(!toast_.isPresented(), 10'000);

        view_.handleDroppedFiles({temp_.file(QString::fromUtf8(name) + QStringLiteral(".txt"))});
        ASSERT_TRUE(alert());
        EXPECT_EQ(alert()->message(), QStringLiteral("Only MP4 videos can be shared (not: %1.txt)").arg(QString::fromUtf8(shown)));
        EXPECT_TRUE(alert()->press(QStringLiteral("OK")));
        ASSERT_EVENTUALLY(!alert(), 2000);
    }
}

TEST(CustomViewLayoutTest, BlocksAreSpacedByTheScreensUsableHeight)
{
    EXPECT_DOUBLE_EQ(CustomView::sectionSpacing(900), 900 * 0.8 * 0.065);
    EXPECT_DOUBLE_EQ(CustomView::sectionSpacing(1200), 60);
    EXPECT_DOUBLE_EQ(CustomView::sectionSpacing(std::nullopt), 60);
}

TEST(DragDropAreaTest, TakesLocalFilesOnlyAndSaysWhileADragHovers)
{
    DragDropArea zone;
    QSignalSpy dropped(&zone, &DragDropArea::filesDropped);
    QSignalSpy dragging(&zone, &DragDropArea::draggingChanged);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/videos/a b.mp4")), QUrl(QStringLiteral("https://example.org/c.mp4")),
        QUrl::fromLocalFile(QStringLiteral("/videos/d.mov"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&zone, &enter);
    EXPECT_TRUE(zone.isDragging());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&zone, &drop);
    EXPECT_FALSE(zone.isDragging());
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped[0][0].toStringList(), (QStringList{QStringLiteral("/videos/a b.mp4"), QStringLiteral("/videos/d.mov")}));
    EXPECT_EQ(dragging.size(), 2);
}

TEST_F(CustomViewTest, ClearAllAsksFirstThenRemovesFilesAndStatuses)
{
    view_.addPersonalUseWallpaper(copyOf(Clip::Uhd, QStringLiteral("one.mp4")));
    settle();
    const QString file = store_.orderedCustomWallpapers().value(0).masterUrl->toLocalFile();
    view_.clearAllButton()->clicked();
    ASSERT_TRUE(alert());
    EXPECT_EQ(alert()->title(), QStringLiteral("Clear All Uploads"));
    EXPECT_TRUE(alert()->press(QStringLiteral("Cancel")));
    EXPECT_EQ(store_.orderedCustomWallpapers().size(), 1);

    view_.confirmClearAll();
    ASSERT_TRUE(alert()->press(QStringLiteral("Clear All")));
    EXPECT_TRUE(store_.orderedCustomWallpapers().isEmpty());
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(view_.isEmptyStateShown());
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [CustomView] Cleared all custom wallpapers")));
}

} // namespace
