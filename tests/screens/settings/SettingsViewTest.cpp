#include "session/AutoStartService.h"
#include "engine/AerialsFolders.h"
#include "engine/CacheService.h"
#include "engine/EntriesJSONService.h"
#include "engine/LockScreenService.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "screens/CatalogueScreenFixture.h"
#include "screens/settings/CommunityButton.h"
#include "screens/settings/LinkText.h"
#include "screens/settings/SettingsView.h"
#include "screens/settings/StoredStateNotice.h"
#include "session/LoginItemService.h"
#include "session/NotificationCenter.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "support/FakeLoginItem.h"
#include "support/FakeUrlOpener.h"
#include "ui/AlertSheet.h"
#include "ui/Screenshot.h"
#include "ui/Theme.h"
#include "ui/SymbolButton.h"
#include "ui/ToggleSwitch.h"
#include "updater/UpdateCheckService.h"

#include <QCoro/QCoroFuture>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPromise>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

#include <unistd.h>

namespace {

using samplecatalogue::Fault;
constexpr int kWaitMs = 15'000;

// Makes a file impossible to delete while alive: its folder read-only, or for root (whom folder
// permissions do not stop) the file immutable.
class Undeletable {
public:
    explicit Undeletable(const QString& file) : file_(file), folder_(QFileInfo(file).path())
    {
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), file_});
        else
            QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~Undeletable()
    {
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file_});
        else
            QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString file_;
    QString folder_;
};

class SettingsViewTest : public CatalogueScreenFixture {
protected:
    // A size walk still running on a worker reads the caches, which go with the test.
    ~SettingsViewTest() override
    {
        page_.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    SettingsView& page(const std::optional<SettingsView::Services>& given = std::nullopt)
    {
        if (!page_) {
            page_ = std::make_unique<SettingsView>(given.value_or(services()));
            page_->resize(1000, 900);
            page_->show();
        }
        return *page_;
    }
    // The page's services, telling what `stored` says of itself.
    SettingsView::Services services(UserDefaults& stored)
    {
        return {*store_, autoStart_, lockScreen_, cache_, masters_, urls_, [this] { return updates_.run(); },
            [this] { return readCacheSize_(); }, stored};
    }
    SettingsView::Services services() { return services(defaults_); }
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }
    static void writeFile(const QString& path, qint64 bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(bytes);
    }
    bool alertSays(const QString& title) const { return page_->alert() && page_->alert()->title() == title; }

    UserDefaults defaults_{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    NotificationCenter center_;
    FakeLoginItem loginItem_;
    LoginItemService loginItems_{loginItem_, defaults_, center_};
    AutoStartService autoStart_{loginItems_, defaults_, center_};
    AerialsFolders folders_{folder_.file(QStringLiteral("lockscreen"))};
    Shared<AerialsFolders>::Override foldersOverride_{folders_};
    EntriesJSONService manifests_{folders_};
    Shared<EntriesJSONService>::Override manifestsOverride_{manifests_};
    WallpaperAerialsExtensionService extension_{QStringLiteral("QvlNoSuchExtension")};
    Shared<WallpaperAerialsExtensionService>::Override extensionOverride_{extension_};
    LockScreenService lockScreen_{defaults_};
    WallpaperImageCache images_;
    VideoCacheService previews_;
    WallpaperDownloadService masters_;
    CacheService cache_{images_, previews_, masters_};
    FakeUrlOpener urls_;
    NotificationManager notifications_{Delays::real()};
    UpdateCheckService updateCheck_{catalogue_.config().updateFeedUrl, UpdateCheckService::Environment::real()};
    UpdateRunner updates_{updateCheck_, notifications_};
    std::function<QCoro::Task<double>()> readCacheSize_ = [this] { return cache_.cacheSizeMBAsync(); };
    std::unique_ptr<SettingsView> page_;
};

// A size read that ends when the test gives it its answer.
QCoro::Task<double> heldRead(QFuture<double> answer, size_t* delivered)
{
    const double size = co_await answer;
    ++*delivered;
    co_return size;
}

TEST(SettingsViewRules, FollowTheScreenTheSizeAndTheIconKey)
{
    const std::pair<std::optional<int>, int> paddings[] = {{599, 10}, {600, 20}, {749, 20}, {750, 40}, {std::nullopt, 40}};
    for (const auto& [height, padding] : paddings)
        EXPECT_EQ(SettingsView::columnPadding(height), padding) << height.value_or(-1);
    EXPECT_EQ(SettingsView::logoSide(699), 84.75);
    EXPECT_EQ(SettingsView::logoSide(700), 113);
    EXPECT_EQ(SettingsView::logoSide(std::nullopt), 113);
    const std::pair<double, const char*> sizes[] = {{0.99, "Cache - 0 MB"}, {1536.7, "Cache - 1536 MB"}, {123456.0, "Cache - 123456 MB"},
        {NAN, "Cache - 0 MB"}, {-2, "Cache - 0 MB"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(SettingsView::cacheLabelText(size), QString::fromUtf8(text));
    const std::pair<const char*, const char*> icons[] = {
        {"discord", "message.fill"}, {"sparkles", "sparkles"}, {"", "globe"}, {"Discord", "globe"}};
    for (const auto& [icon, symbol] : icons)
        EXPECT_EQ(CommunityButton::symbolFor(QString::fromUtf8(icon)), QString::fromUtf8(symbol));
    EXPECT_EQ(SettingsView::versionText(std::nullopt), QStringLiteral("Version Unknown"));
    EXPECT_FALSE(SettingsView::lockScreenInstructions().endsWith(u'\n'));
    // The guidance names only what a Linux desktop has.
    for (const char* foreign : {"System Settings", "spaces", "extension"})
        EXPECT_FALSE(SettingsView::lockScreenInstructions().contains(QString::fromUtf8(foreign), Qt::CaseInsensitive)) << foreign;
}

// Settings found damaged are told on the page in words that stay, naming the copy kept, at every
// launch until the user dismisses them; settings that cannot be opened are told while that lasts.
TEST_F(SettingsViewTest, TheStoredStateIsToldUntilDismissedOrOver)
{
    const QString database = Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3");
    QDir().mkpath(QFileInfo(database).path());
    {
        QFile damaged(database);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(8192, 'x'));
    }
    std::unique_ptr<UserDefaults> stored;
    const auto launch = [&] {
        page_.reset();
        stored = std::make_unique<UserDefaults>();
        page_ = std::make_unique<SettingsView>(services(*stored));
        // The window's background, as the main window gives it.
        page_->setPalette(Theme::palette());
        page_->setAutoFillBackground(true);
        page_->resize(1000, 1100);
        page_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
    };
    const auto shown = [this]() -> QString {
        auto* notice = page_->findChild<StoredStateNotice*>();
        auto* text = notice ? notice->findChild<QLabel*>() : nullptr;
        return notice && notice->isVisible() && text ? text->text() : QString();
    };
    launch();
    ASSERT_TRUE(stored->readTrouble());
    const QString copy = stored->readTrouble()->keptAt;
    EXPECT_TRUE(shown().contains(copy)) << shown().toStdString();
    launch();
    EXPECT_TRUE(shown().contains(copy)) << "at the next launch: " << shown().toStdString();
    saveScreenshot(page(), QStringLiteral("settings-damaged-settings-kept"));

    auto* dismiss = page().findChild<StoredStateNotice*>()->findChild<LinkText*>();
    ASSERT_TRUE(dismiss && dismiss->isVisible());
    click(dismiss);
    EXPECT_TRUE(shown().isEmpty());
    launch();
    EXPECT_TRUE(shown().isEmpty()) << "dismissed for good";
    EXPECT_TRUE(QFile::exists(copy)) << "the copy is never removed";
    page_.reset();
}

TEST_F(SettingsViewTest, StartOnLoginFollowsTheLoginItemAndSaysWhenItRefused)
{
    ToggleSwitch* toggle = page().startOnLoginSwitch();
    click(toggle);
    EXPECT_TRUE(autoStart_.isEnabled());
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(loginItem_.status(), LoginItem::Status::Enabled);
    click(toggle);
    EXPECT_FALSE(toggle->isOn());
    EXPECT_TRUE(page().notice()->isHidden());

    // No autostart folder to write into: the switch shows the login item's truth.
    loginItem_.registerFailure = QStringLiteral("No such file or directory");
    click(toggle);
    EXPECT_FALSE(autoStart_.isEnabled());
    EXPECT_FALSE(toggle->isOn());
    EXPECT_FALSE(page().notice()->isHidden());
    EXPECT_TRUE(page().notice()->text().contains(QStringLiteral("could not be turned on")));
}

TEST_F(SettingsViewTest, TheLockScreenAlertsAppearOnlyOnceTheFlipHeld)
{
    folders_.seedIfNew();
    ToggleSwitch* toggle = page().lockScreenSwitch();
    click(toggle);
    EXPECT_TRUE(toggle->isOn());
    ASSERT_EVENTUALLY(alertSays(QStringLiteral("Lock Screen Wallpaper On")), kWaitMs);
    EXPECT_EQ(page().alert()->message(), SettingsView::lockScreenInstructions());
    // Said in the window's own dark alert, not in a window of the system's.
    EXPECT_EQ(page().alert()->window(), page().window());
    ASSERT_TRUE(page().alert()->press(QStringLiteral("Open Background Settings")));
    EXPECT_EQ(urls_.wallpaperSettingsOpened, 1);
    ASSERT_EVENTUALLY(!page().alert(), kWaitMs);

    click(toggle);
    ASSERT_EVENTUALLY(alertSays(QStringLiteral("Lock Screen Wallpaper Off")), kWaitMs);
    ASSERT_TRUE(page().alert()->press(QStringLiteral("OK")));
    EXPECT_EQ(urls_.wallpaperSettingsOpened, 1);
    ASSERT_EVENTUALLY(!page().alert(), kWaitMs);

    // A switching step that fails puts the switch back, once, and no alert follows.
    manifests_.setStepHook([](const QString&) { throw std::runtime_error("disk full"); });
    QSignalSpy changes(&lockScreen_, &LockScreenService::isEnabledChanged);
    click(toggle);
    ASSERT_EVENTUALLY(!lockScreen_.isProcessing() && !toggle->isOn(), kWaitMs);
    QTest::qWait(SettingsView::kAlertDelayMs + 300);
    EXPECT_FALSE(page().alert());
    EXPECT_EQ(changes.size(), 2);
    EXPECT_FALSE(lockScreen_.isEnabled());
}

// A desktop without any of the settings tools: the button says so in an alert of its own
// rather than doing nothing.
// The header names the program as its launcher entry does.
TEST_F(SettingsViewTest, TheHeaderNamesTheProgramAsItsLauncherDoes)
{
    QStringList texts;
    for (const QLabel* label : page().findChildren<QLabel*>())
        texts.append(label->text());
    EXPECT_TRUE(texts.contains(QStringLiteral("Quorvelle"))) << texts.join(u'|').toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("quorvelle")));
}

TEST_F(SettingsViewTest, OpenBackgroundSettingsSaysWhenNothingCouldBeOpened)
{
    folders_.seedIfNew();
    urls_.hasWallpaperSettings = false;
    click(page().lockScreenSwitch());
    ASSERT_EVENTUALLY(alertSays(QStringLiteral("Lock Screen Wallpaper On")), kWaitMs);
    ASSERT_TRUE(page().alert()->press(QStringLiteral("Open Background Settings")));
    ASSERT_EVENTUALLY(alertSays(QStringLiteral("Open Background Settings")), kWaitMs);
    EXPECT_TRUE(page().alert()->message().startsWith(QStringLiteral("No background settings could be opened on this desktop.")));
    ASSERT_TRUE(page().alert()->press(QStringLiteral("OK")));
    ASSERT_EVENTUALLY(!page().alert(), kWaitMs);
}

// The tray's "Clear Cache" clears while the page is up: the row reads the size again at its end,
// and what that clear could remove replaces an older clear's notice.
TEST_F(SettingsViewTest, TheCacheRowFollowsAClearAskedElsewhere)
{
    // Pictured in the window's dark palette, as the program shows it.
    page().setPalette(Theme::palette());
    const QString stuck = QDir(WallpaperDownloadService::folderPath()).filePath(QStringLiteral("5.mp4"));
    writeFile(stuck, 3 * 1'048'576 + 10);
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 3 MB"), kWaitMs);
    {
        const Undeletable guard(stuck);
        click(page().trashButton());
        ASSERT_EVENTUALLY(!page().notice()->isHidden(), kWaitMs);
        EXPECT_EQ(page().notice()->text(), QStringLiteral("Some cached files could not be removed."));
        saveScreenshot(page(), QStringLiteral("settings-cache-files-left"));
    }
    EXPECT_EQ(waitForTask(cache_.clearAllCaches()), 0);
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 0 MB"), kWaitMs);
    EXPECT_TRUE(page().notice()->isHidden()) << page().notice()->text().toStdString();
    saveScreenshot(page(), QStringLiteral("settings-cache-after-a-later-clear"));
}

TEST_F(SettingsViewTest, TheCacheRowReadsTheSizeAndClearsIt)
{
    writeFile(QDir(WallpaperDownloadService::folderPath()).filePath(QStringLiteral("5.mp4")), 3 * 1'048'576 + 10);
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 3 MB"), kWaitMs);
    click(page().trashButton());
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 0 MB"), kWaitMs);
    EXPECT_TRUE(page().notice()->isHidden());

    // A file the clear cannot remove is still counted, and said.
    const QString stuck = QDir(WallpaperDownloadService::folderPath()).filePath(QStringLiteral("7.mp4"));
    writeFile(stuck, 2 * 1'048'576);
    const Undeletable guard(stuck);
    click(page().trashButton());
    // The size is read on other occasions too (the window becoming active), so the row may say
    // 2 MB before the clear has ended: the clear's end is its notice.
    ASSERT_EVENTUALLY(!page().notice()->isHidden(), kWaitMs);
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 2 MB"), kWaitMs);
}

// A view playing a stored preview fetches it again as soon as the clear empties its folder: that
// file is counted, but it is no file the clear left behind.
TEST_F(SettingsViewTest, APreviewFetchedAgainDuringTheClearIsNotToldAsLeftBehind)
{
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 0 MB"), kWaitMs);
    const QString fetchedAgain = QDir(VideoCacheService::hdPreviewFolder()).filePath(QStringLiteral("9.mp4"));
    QObject::connect(&previews_, &VideoCacheService::cacheCleared, &page(), [&] { writeFile(fetchedAgain, 2 * 1'048'576); });
    click(page().trashButton());
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 2 MB"), kWaitMs);
    EXPECT_TRUE(page().notice()->isHidden());
}

// A read started before a clear ended may walk the full cache for longer than the read the
// clear's end starts: the older one ends last and must not put the old size back.
TEST_F(SettingsViewTest, AnOlderCacheSizeReadEndingLastIsNotShown)
{
    std::vector<std::unique_ptr<QPromise<double>>> reads;
    size_t delivered = 0;
    readCacheSize_ = [&] {
        reads.push_back(std::make_unique<QPromise<double>>());
        reads.back()->start();
        return heldRead(reads.back()->future(), &delivered);
    };
    const auto answer = [&](size_t read, double megabytes) {
        reads[read]->addResult(megabytes);
        reads[read]->finish();
    };
    page();
    ASSERT_EVENTUALLY(!reads.empty(), kWaitMs);
    const size_t older = reads.size();
    Q_EMIT cache_.cachesCleared(0);
    ASSERT_EQ(reads.size(), older + 1) << "the clear's end starts a read of its own";

    answer(older, 5);
    ASSERT_EVENTUALLY(page().cacheLabel()->text() == QStringLiteral("Cache - 5 MB"), kWaitMs);
    for (size_t read = 0; read < older; ++read)
        answer(read, 9);
    ASSERT_EVENTUALLY(delivered == older + 1, kWaitMs);
    EXPECT_EQ(page().cacheLabel()->text(), QStringLiteral("Cache - 5 MB"));
    EXPECT_EQ(page().cacheSizeMB(), 5);
    // Reads the window's activation started meanwhile end before the answers go.
    page_.reset();
    for (size_t read = older + 1; read < reads.size(); ++read)
        answer(read, 9);
    ASSERT_EVENTUALLY(delivered == reads.size(), kWaitMs);
}

// A tray apply downloads a master while the page is up: the row does not stay at the old size.
TEST_F(SettingsViewTest, TheCacheRowFollowsAMasterDownloadedWhileThePageIsUp)
{
    QSignalSpy reads(&page(), &SettingsView::cacheSizeRead);
    ASSERT_TRUE(reads.wait(kWaitMs));
    EXPECT_EQ(page().cacheSizeMB(), 0);

    const QUrl master(server().baseUrl() + QStringLiteral("/wallpaper/1718000000137/master.mp4"));
    waitForTask(masters_.downloadWallpaper(master, 1718000000137, {}));
    ASSERT_EVENTUALLY(page().cacheSizeMB() > 0, kWaitMs);
    EXPECT_DOUBLE_EQ(page().cacheSizeMB(), cache_.cacheSizeMB());
}

// In the main window's scroll view a short window shows only part of the page. Where the
// window is wide the corner links stay whole in the corner of what it shows, however far the
// page is scrolled; where the corner comes beside the column they never lie over a line of it
// and are reached at the page's end.
TEST_F(SettingsViewTest, TheCornerLinksStayInsideAShortWindowAndClearOfTheColumn)
{
    struct Case {
        QSize window;
        bool inTheCorner;
    };
    for (const Case& c : {Case{{1000, 480}, true}, Case{{640, 400}, false}, Case{{760, 480}, false}}) {
        SCOPED_TRACE(c.window.width());
        QScrollArea window;
        window.setWidgetResizable(true);
        window.setFrameShape(QFrame::NoFrame);
        auto* settings = new SettingsView(services());
        window.setWidget(settings);
        window.resize(c.window);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QScrollBar* bar = window.verticalScrollBar();
        ASSERT_GT(bar->maximum(), 0) << "the page is taller than the window";
        const QRect shown(window.viewport()->mapToGlobal(QPoint(0, 0)), window.viewport()->size());
        const QList<QWidget*> column{settings->updateLink(), settings->discordButton(), settings->startOnLoginSwitch(),
            settings->lockScreenSwitch(), settings->trashButton(), settings->cacheLabel()};
        for (const int offset : {0, bar->maximum() / 2, bar->maximum()}) {
            bar->setValue(offset);
            for (QWidget* link : {static_cast<QWidget*>(settings->termsLink()), static_cast<QWidget*>(settings->privacyLink())}) {
                const QRect placed(link->mapToGlobal(QPoint(0, 0)), link->size());
                for (QWidget* line : column) {
                    EXPECT_FALSE(placed.intersects(QRect(line->mapToGlobal(QPoint(0, 0)), line->size())))
                        << "scrolled by " << offset << ": over a " << line->metaObject()->className();
                }
                if (c.inTheCorner || offset == bar->maximum()) {
                    EXPECT_TRUE(shown.contains(placed)) << "scrolled by " << offset << ": link bottom " << placed.bottom()
                                                        << ", window bottom " << shown.bottom();
                }
            }
        }
    }
}

TEST_F(SettingsViewTest, LinksOpenTheInviteAndTheTermsPage)
{
    click(page().discordButton());
    loadStore();
    click(page().discordButton());
    click(page().termsLink());
    click(page().privacyLink());
    EXPECT_EQ(urls_.opened, (QList<QUrl>{QUrl(SettingsView::kDiscordInviteUrl), QUrl(QStringLiteral("https://chat.example.org/invite/quorvelle-sample")),
        QUrl(SettingsView::kTermsUrl), QUrl(SettingsView::kTermsUrl)}));
}

TEST_F(SettingsViewTest, AnUpdateFeedOutOfReachIsNotTakenForNoUpdate)
{
    server().setFault(catalogue_.config().updateFeedUrl.path(), failing(503));
    // The status line's room is kept before, during and after the check: the switches stay put.
    const auto switchAt = [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return page().startOnLoginSwitch()->mapTo(&page(), QPoint());
    };
    const QPoint before = switchAt();
    click(page().updateLink());
    EXPECT_FALSE(page().updateLink()->isEnabled());
    EXPECT_EQ(switchAt(), before);
    ASSERT_EVENTUALLY(page().updateLink()->isEnabled(), kWaitMs);
    EXPECT_EQ(page().updateStatus()->text(), QStringLiteral("Could not reach the update server"));
    EXPECT_EQ(switchAt(), before);
}

// Where the system's package manager updates the program there is no check to run: the page
// says where updates come from, in the check's place.
TEST_F(SettingsViewTest, WithoutAnUpdateCheckThePageSaysUpdatesComeFromThePackageManager)
{
    SettingsView::Services services = this->services();
    services.checkForUpdates = {};
    page(services);
    // Pictured in the window's dark palette, as the program shows it.
    page().setPalette(Theme::palette());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_FALSE(page().updateLink()->isVisible());
    ASSERT_TRUE(page().updateStatus()->isVisible());
    EXPECT_EQ(page().updateStatus()->text(), SettingsView::packageManagerUpdatesText());
    EXPECT_GE(page().updateStatus()->width(), QFontMetrics(page().updateStatus()->font()).horizontalAdvance(page().updateStatus()->text()))
        << "the line is cut";
    page().checkForUpdates();
    EXPECT_EQ(page().updateStatus()->text(), SettingsView::packageManagerUpdatesText());
    EXPECT_EQ(server().requestCount(catalogue_.config().updateFeedUrl.path()), 0);
    saveScreenshot(page(), QStringLiteral("settings-updates-from-the-package-manager"));
}

} // namespace
