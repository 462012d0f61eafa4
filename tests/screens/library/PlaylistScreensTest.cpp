#include "LibraryScreensFixture.h"
#include "screens/library/AddWallpapersToPlaylistSheet.h"
#include "screens/library/CreatePlaylistCardView.h"
#include "screens/library/CreatePlaylistPickerThumbnail.h"
#include "screens/library/CreatePlaylistSheet.h"
#include "screens/library/CreatePlaylistWallpaperPickerSheet.h"
#include "screens/library/PlaylistCardPopoverView.h"
#include "support/Eventually.h"
#include "support/ReviewPicture.h"
#include "support/XvfbServer.h"
#include "ui/FormControls.h"
#include "ui/LoopingVideo.h"
#include "ui/Pointer.h"
#include "ui/PopoverHost.h"
#include "ui/Screenshot.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

namespace {

constexpr qint64 kOwnKey = 1718000000301;
constexpr qint64 kLikedKey = 1718000000137;
constexpr qint64 kOtherLikedKey = 1718000000211; // the two keys the sample catalogue serves
constexpr char kX11ChildVariable[] = "QUORVELLE_PLAYLIST_TIP_X11_CHILD";

using PlaylistScreensTest = LibraryScreensFixture;

// Types text as the keyboard would, emoji included.
void type(QWidget* field, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
}

void tickThumbnail(PlaylistPickerSheet& sheet, qint64 key)
{
    CreatePlaylistPickerThumbnail* thumbnail = sheet.thumbnailOf(key);
    ASSERT_TRUE(thumbnail) << key;
    QTest::mouseClick(thumbnail, Qt::LeftButton, {}, thumbnail->rect().center());
}

TEST_F(PlaylistScreensTest, ACreatedPlaylistHoldsTheTickedOwnAndLikedWallpapersAndShowsItsCard)
{
    like(kLikedKey);
    like(kOtherLikedKey, QStringLiteral("Coral Reef"));
    own(kOwnKey);
    LikedView& page = showPage();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));

    // The create card asks for the popup; the page answers with the sheet.
    click(page.createCard());
    ASSERT_EVENTUALLY(topSheet<CreatePlaylistSheet>(), 5000);
    auto* create = topSheet<CreatePlaylistSheet>();
    EXPECT_FALSE(create->createButton()->isEnabled());
    // Typing goes to the name at once, without a click into it. A third word is cut as soon as
    // it begins; the space before it stays, so nothing glues on.
    ASSERT_EQ(QApplication::focusWidget(), create->nameField());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Sunset beach dunes"));
    EXPECT_EQ(create->nameField()->text(), QStringLiteral("Sunset beach "));
    create->intervalPicker()->setCurrentIndex(3);
    saveScreenshot(window_, QStringLiteral("library-create-playlist-sheet"));
    QTest::keyClick(create->nameField(), Qt::Key_Return);

    ASSERT_EVENTUALLY(topSheet<CreatePlaylistWallpaperPickerSheet>(), 5000);
    auto* picker = topSheet<CreatePlaylistWallpaperPickerSheet>();
    EXPECT_EQ(picker->offered().size(), 3);
    EXPECT_EQ(picker->offered().first().key, kOwnKey);
    EXPECT_FALSE(picker->confirmButton()->isVisible());
    tickThumbnail(*picker, kOwnKey);
    tickThumbnail(*picker, kOtherLikedKey);
    // Ticked wallpapers lead.
    EXPECT_EQ(picker->offered().at(0).key, kOwnKey);
    EXPECT_EQ(picker->offered().at(1).key, kOtherLikedKey);
    EXPECT_EQ(picker->countLabel()->text(), QStringLiteral("2 selected"));
    ASSERT_TRUE(picker->thumbnailOf(kOwnKey)->videoUrl().isLocalFile());
    ASSERT_EVENTUALLY(picker->thumbnailOf(kOwnKey)->hasPicture(), 10'000);
    // The own video's frame carries its name; the liked wallpapers' posters stay clear.
    EXPECT_TRUE(picker->thumbnailOf(kOwnKey)->showsName());
    EXPECT_FALSE(picker->thumbnailOf(kOtherLikedKey)->showsName());
    saveScreenshot(window_, QStringLiteral("library-wallpaper-picker-sheet"));
    click(picker->confirmButton());

    ASSERT_EVENTUALLY(sheets_.depth() == 0 && !popup_.isPresented(), 5000);
    ASSERT_EQ(playlists_.playlists().size(), 1);
    const WallpaperPlaylist stored = playlists_.playlists().first();
    EXPECT_EQ(stored.name, QStringLiteral("Sunset beach"));
    EXPECT_EQ(stored.autoChangeIntervalSeconds, 3600);
    EXPECT_EQ(stored.wallpaperKeys, (QList<qint64>{kOwnKey, kOtherLikedKey}));
    EXPECT_EQ(signals_, QStringList{QStringLiteral("Playlist.created")});
    ASSERT_EVENTUALLY(cardOf(stored.id), 5000);
    // Its first wallpaper is an own video: the card shows its first frame.
    EXPECT_EQ(cardOf(stored.id)->preview(), PlaylistCardView::Preview::Video);
}

// A frame of an own video does not say which video it is: its name is painted over the frame's
// foot, at full strength whether ticked or not.
TEST_F(PlaylistScreensTest, AnOwnVideosThumbnailCarriesItsName)
{
    const WallpaperModel mine = own(kOwnKey);
    WallpaperModel renamed = mine;
    renamed.title = QStringLiteral("Quite Another \x1b[1mName\x1b[0m");
    for (const bool ticked : {true, false}) {
        SCOPED_TRACE(ticked);
        CreatePlaylistPickerThumbnail one(mine, ticked, std::nullopt, &window_);
        CreatePlaylistPickerThumbnail other(renamed, ticked, std::nullopt, &window_);
        for (CreatePlaylistPickerThumbnail* thumbnail : {&one, &other}) {
            thumbnail->resize(192, 120);
            thumbnail->show();
        }
        ASSERT_EVENTUALLY(one.hasPicture() && other.hasPicture(), 10'000);
        const QImage first = one.grab().toImage();
        const QImage second = other.grab().toImage();
        const int foot = first.height() - 30;
        EXPECT_EQ(first.copy(0, 0, first.width(), foot), second.copy(0, 0, second.width(), foot)) << "the same frame";
        EXPECT_NE(first.copy(0, foot, first.width(), 30), second.copy(0, foot, second.width(), 30)) << "each its own name";
        EXPECT_EQ(other.toolTip(), QStringLiteral("Quite Another Name")) << "no escape sequence shows";
    }
}

TEST_F(PlaylistScreensTest, CancelOrEscapeCreateNothingAndTheNextSheetStartsEmpty)
{
    like(kLikedKey);
    showPage();
    for (const bool escape : {false, true}) {
        popup_.show();
        ASSERT_EVENTUALLY(topSheet<CreatePlaylistSheet>(), 5000);
        auto* create = topSheet<CreatePlaylistSheet>();
        EXPECT_TRUE(create->nameField()->text().isEmpty());
        EXPECT_EQ(create->intervalPicker()->currentText(), QStringLiteral("5 minutes"));
        QTest::keyClicks(create->nameField(), QStringLiteral("Abandoned"));
        create->intervalPicker()->setCurrentIndex(5);
        if (escape) {
            QTest::keyClick(create->nameField(), Qt::Key_Escape);
        } else {
            create->showWallpaperPicker();
            ASSERT_EVENTUALLY(topSheet<CreatePlaylistWallpaperPickerSheet>(), 5000);
            QTest::keyClick(topSheet<CreatePlaylistWallpaperPickerSheet>(), Qt::Key_Escape);
            ASSERT_EVENTUALLY(topSheet<CreatePlaylistSheet>() == create, 5000);
            QTest::keyClick(create, Qt::Key_Escape);
        }
        ASSERT_EVENTUALLY(sheets_.depth() == 0 && !popup_.isPresented(), 5000);
    }
    EXPECT_TRUE(playlists_.playlists().isEmpty());
    EXPECT_TRUE(signals_.isEmpty());
}

// Buttons that wear style sheets get no spacing from the style: the header lays its own gap.
TEST_F(PlaylistScreensTest, TheCreateSheetsCancelAndCreateStandApart)
{
    showPage();
    popup_.show();
    ASSERT_EVENTUALLY(topSheet<CreatePlaylistSheet>(), 5000);
    auto* create = topSheet<CreatePlaylistSheet>();
    QTest::keyClicks(create->nameField(), QStringLiteral("Dunes"));
    QCoreApplication::processEvents();
    QPushButton* cancel = nullptr;
    for (QPushButton* button : create->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Cancel"))
            cancel = button;
    ASSERT_TRUE(cancel);
    const QRect left = cancel->geometry();
    const QRect right = create->createButton()->geometry();
    EXPECT_FALSE(left.intersects(right));
    EXPECT_EQ(right.left() - left.right() - 1, FormControls::kButtonSpacing);
    EXPECT_EQ(left.center().y(), right.center().y());
    saveScreenshot(window_, QStringLiteral("library-create-playlist-buttons"));
}

TEST_F(PlaylistScreensTest, TheCardControlRotatesThePlaylistOnTheDesktopAndStopsIt)
{
    own(kOwnKey);
    own(kOwnKey + 1);
    const WallpaperPlaylist beaches = makePlaylist(QStringLiteral("Beaches"), {kOwnKey, kOwnKey + 1});
    const WallpaperPlaylist other = makePlaylist(QStringLiteral("Other"), {kOwnKey + 1});
    showPage();
    PlaylistCardView* card = cardOf(beaches.id);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->preview(), PlaylistCardView::Preview::Video);
    EXPECT_FALSE(card->isControlShown());
    hoverOver(*card, true);
    EXPECT_EQ(card->controlSymbol(), QStringLiteral("play.circle.fill"));
    click(card, card->controlRect().center());
    ASSERT_TRUE(waitUntil([&] { return shownKey() == kOwnKey; }));
    settle(rotation_);
    hoverOver(*card, false);
    EXPECT_TRUE(card->isControlShown());
    EXPECT_EQ(card->controlSymbol(), QStringLiteral("pause.circle.fill"));
    // The rotation goes on from its timer.
    rotationTimer_->fire();
    ASSERT_TRUE(waitUntil([&] { return shownKey() == kOwnKey + 1; }));
    settle(rotation_);

    // Starting another card's playlist takes over; the first card's control goes.
    cardOf(other.id)->toggleRotation();
    settle(rotation_);
    EXPECT_TRUE(rotation_.isPlaylistActive(other.id));
    EXPECT_FALSE(card->isControlShown());
    cardOf(other.id)->toggleRotation();
    EXPECT_EQ(rotation_.activePlaylistId(), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return !shownKey().has_value(); }));
    EXPECT_EQ(playlists_.playlists().size(), 2);
}

// A playlist card's tip never takes the click meant for its play control. With the real pointer
// on an X server, as a user meets it: rested on the card just above and left of the control until
// the tip shows, then moved onto the control and clicked. Qt's own tip stood just below the
// pointer, over the control, and took that click.
TEST_F(PlaylistScreensTest, OnAnXServerTheRealPointerClicksThroughTheTipToTheControl)
{
    if (!qEnvironmentVariableIsSet(kX11ChildVariable)) {
        if (!XvfbServer::isInstalled() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_FAIL() << "needs Xvfb and xdotool (scripts/setup installs both)";
        const XvfbServer server;
        const ChildTestRun run = rerunCurrentTestOn(server.environment(), kX11ChildVariable, 120'000);
        EXPECT_TRUE(run.passed()) << run.output.toStdString();
        return;
    }
    const auto pointer = [](const QPoint& at, bool click) {
        QStringList arguments{QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())};
        if (click)
            arguments << QStringLiteral("click") << QStringLiteral("1");
        return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
    };
    own(kOwnKey);
    const WallpaperPlaylist beaches = makePlaylist(QStringLiteral("Beaches"), {kOwnKey});
    showPage();
    // Tips show in the active window only.
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    PlaylistCardView* card = cardOf(beaches.id);
    ASSERT_TRUE(card);
    const QPoint control = card->mapToGlobal(card->controlRect().center().toPoint());
    ASSERT_TRUE(pointer(control - QPoint(12, 20), false));
    QWidget* tip = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->windowType() == Qt::ToolTip && window->isVisible())
                tip = window;
        return tip != nullptr;
    }, 10'000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tip, kExposeMs));
    QCoreApplication::processEvents();
    keepReviewPicture(QGuiApplication::primaryScreen()->grabWindow(0, 0, 0, 1280, 900).toImage(),
        QStringLiteral("ui-screenshots"), QStringLiteral("library-playlist-card-tip-x11"));
    ASSERT_TRUE(pointer(control, true));
    ASSERT_TRUE(waitUntil([&] { return shownKey() == kOwnKey; }));
    settle(rotation_);
}

TEST_F(PlaylistScreensTest, ThePopoverRenamesTrimmedKeepsABlankNameAndStoresOnlyAPickedInterval)
{
    like(kLikedKey);
    const WallpaperPlaylist playlist = makePlaylist(QStringLiteral("Beaches"), {kLikedKey}, 1000);
    showPage();
    PlaylistCardView* card = cardOf(playlist.id);
    click(card, card->rect().topLeft() + QPointF(40, 40));
    ASSERT_EVENTUALLY(card->popover()->isVisible(), 5000);
    PlaylistCardPopoverView* popover = card->popoverView();
    EXPECT_EQ(popover->intervalPicker()->currentText(), QStringLiteral("15 minutes"));
    saveScreenshot(*card->popover(), QStringLiteral("library-playlist-popover"));

    QLineEdit* name = popover->nameField();
    name->selectAll();
    type(name, QStringLiteral("  Evening 🌅  "));
    EXPECT_EQ(playlists_.playlist(playlist.id)->name, QStringLiteral("Evening 🌅"));
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClicks(name, QStringLiteral("   "));
    EXPECT_EQ(playlists_.playlist(playlist.id)->name, QStringLiteral("Evening 🌅"));
    // The card shows the stored name.
    EXPECT_EQ(card->playlist().name, QStringLiteral("Evening 🌅"));

    // The option shown for 1000 s picked again stores nothing; another stores its seconds.
    Q_EMIT popover->intervalPicker()->activated(1);
    EXPECT_EQ(playlists_.playlist(playlist.id)->autoChangeIntervalSeconds, 1000);
    Q_EMIT popover->intervalPicker()->activated(3);
    EXPECT_EQ(playlists_.playlist(playlist.id)->autoChangeIntervalSeconds, 3600);
    EXPECT_EQ(playlists_.playlist(playlist.id)->wallpaperKeys, (QList<qint64>{kLikedKey}));
}

TEST_F(PlaylistScreensTest, DeletingAsksOnceThePopoverClosedStopsItsRotationAndKeepsTheOthers)
{
    own(kOwnKey);
    const WallpaperPlaylist keep = makePlaylist(QStringLiteral("Keep"), {kOwnKey});
    const WallpaperPlaylist doomed = makePlaylist(QStringLiteral("Doomed"), {kOwnKey});
    showPage();
    rotation_.startPlaylist(doomed);
    settle(rotation_);
    PlaylistCardView* card = cardOf(doomed.id);

    for (const QString& answer : {QStringLiteral("Cancel"), QStringLiteral("Delete")}) {
        card->openPopover();
        ASSERT_EVENTUALLY(card->popover()->isVisible(), 5000);
        click(card->popoverView()->deleteButton());
        EXPECT_FALSE(card->popover()->isVisible());
        ASSERT_TRUE(answerAlert(answer));
    }
    EXPECT_EQ(rotation_.activePlaylistId(), std::nullopt);
    ASSERT_EQ(playlists_.playlists().size(), 1);
    EXPECT_EQ(playlists_.playlists().first().id, keep.id);
    ASSERT_EVENTUALLY(!cardOf(doomed.id), 5000);
    EXPECT_TRUE(cardOf(keep.id));
}

TEST_F(PlaylistScreensTest, APlaylistDeletedWhileItsPopoverIsOpenOrItRotatesEndsQuietly)
{
    own(kOwnKey);
    const WallpaperPlaylist playlist = makePlaylist(QStringLiteral("Gone"), {kOwnKey});
    const WallpaperPlaylist other = makePlaylist(QStringLiteral("Stays"), {kOwnKey});
    showPage();
    rotation_.startPlaylist(playlist);
    settle(rotation_);
    PlaylistCardView* card = cardOf(playlist.id);
    card->openPopover();
    ASSERT_EVENTUALLY(card->popover()->isVisible(), 5000);
    QPointer<PlaylistCardPopoverView> popover = card->popoverView();

    playlists_.deletePlaylist(playlist.id);
    EXPECT_EQ(rotation_.activePlaylistId(), std::nullopt);
    ASSERT_EVENTUALLY(!popover, 5000);
    EXPECT_EQ(playlists_.playlists().size(), 1);
    EXPECT_EQ(playlists_.playlist(other.id)->name, QStringLiteral("Stays"));
}

TEST_F(PlaylistScreensTest, AddWallpapersTicksThePlaylistsOwnAddsRemovesAndKeepsKeysItCannotShow)
{
    like(kLikedKey);
    like(kOtherLikedKey, QStringLiteral("Coral Reef"));
    own(kOwnKey);
    constexpr qint64 kUnlikedKey = 555;
    const WallpaperPlaylist playlist = makePlaylist(QStringLiteral("Mixed"), {kLikedKey, kUnlikedKey});
    showPage();
    PlaylistCardView* card = cardOf(playlist.id);
    card->openPopover();
    ASSERT_EVENTUALLY(card->popover()->isVisible(), 5000);
    click(card->popoverView()->addWallpapersButton());
    ASSERT_EVENTUALLY(topSheet<AddWallpapersToPlaylistSheet>(), 5000);
    auto* sheet = topSheet<AddWallpapersToPlaylistSheet>();
    EXPECT_EQ(sheet->offered().first().key, kLikedKey);
    EXPECT_EQ(sheet->countLabel()->text(), QStringLiteral("2 selected"));
    tickThumbnail(*sheet, kLikedKey);
    tickThumbnail(*sheet, kOwnKey);
    ASSERT_EVENTUALLY(sheet->thumbnailOf(kOwnKey)->hasPicture(), 10'000);
    // Ticking does not move a thumbnail here.
    EXPECT_EQ(sheet->offered().first().key, kLikedKey);
    saveScreenshot(window_, QStringLiteral("library-add-wallpapers-sheet"));
    // A wallpaper added from the full-screen view meanwhile is kept.
    playlists_.addWallpapers({kOtherLikedKey}, playlist.id);
    QTest::keyClick(sheet, Qt::Key_Return);

    ASSERT_EVENTUALLY(sheets_.depth() == 0, 5000);
    EXPECT_EQ(playlists_.playlist(playlist.id)->wallpaperKeys, (QList<qint64>{kUnlikedKey, kOwnKey, kOtherLikedKey}));
    EXPECT_TRUE(signals_.isEmpty());
    // The card's first wallpaper is not known any more: the gradient stands in.
    ASSERT_EVENTUALLY(cardOf(playlist.id)->preview() == PlaylistCardView::Preview::Placeholder, 5000);
}

TEST_F(PlaylistScreensTest, NoOwnOrLikedWallpapersShowTheEmptyStateAndDoneStillKeepsThePlaylist)
{
    const WallpaperPlaylist playlist = makePlaylist(QStringLiteral("Orphans"), {7, 8});
    showPage();
    page_->showAddWallpapers(playlist.id);
    auto* sheet = topSheet<AddWallpapersToPlaylistSheet>();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isEmptyStateShown());
    saveScreenshot(window_, QStringLiteral("library-add-wallpapers-empty"));
    // Deleted meanwhile: nothing is stored, the sheet closes.
    playlists_.deletePlaylist(playlist.id);
    click(sheet->confirmButton());
    ASSERT_EVENTUALLY(sheets_.depth() == 0, 5000);
    EXPECT_TRUE(playlists_.playlists().isEmpty());
}

} // namespace

namespace {

TEST_F(PlaylistScreensTest, TheCreateCardCrossFadesBackAndForthBetweenTwoRealPreviews)
{
    // Two addresses of the same clip: the players load each once and never report again.
    const QString second = temp_.file(QStringLiteral("second.mp4"));
    ASSERT_TRUE(QFile::copy(clipPath(), second));
    CreatePlaylistCardView card;
    card.resize(484, 274);
    card.setMedia({QUrl::fromLocalFile(clipPath()), QUrl::fromLocalFile(second)}, {});
    card.show();
    card.appeared();
    ASSERT_EVENTUALLY(card.cycle().currentIndex() == 1, 15'000);
    ASSERT_EVENTUALLY(card.cycle().currentIndex() == 0, 15'000);
    ASSERT_EVENTUALLY(card.cycle().currentIndex() == 1 && card.layerVideo(card.cycle().visibleLayer())->isReady(), 15'000);
    // Both play all along, the hidden one too, so each comes back in motion.
    for (int layer = 0; layer < 2; ++layer)
        EXPECT_TRUE(card.layerVideo(layer)->isRunning()) << layer;
    saveScreenshot(card, QStringLiteral("library-create-card-playing"));
    card.disappeared();
    EXPECT_FALSE(card.cycle().isRunning());
    for (int layer = 0; layer < 2; ++layer)
        EXPECT_FALSE(card.layerVideo(layer)->isRunning()) << layer;
}

} // namespace
