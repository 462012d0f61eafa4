#pragma once

#include "ui/AlertSheet.h"
#include "updater/UpdateRunner.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class AppStore;
class AutoStartService;
class CacheService;
class CommunityButton;
class LinkText;
class LockScreenService;
class QLabel;
class SymbolButton;
class ToggleSwitch;
class UrlOpener;
class UserDefaults;
class WallpaperDownloadService;

// The settings tab: the logo, name and version with an update check (or, where the system's
// package manager updates the program, a line that says so); the community chat
// button; start at login, the lock-screen wallpaper switch with its guidance alerts, and the
// cache size with its clear button; the terms links in the bottom-right corner, or below the
// column where a narrow window brings that corner beside it. The switches
// show the services' values and follow them; a flip only asks the service. The lock-screen
// alerts appear once a flip has held (its switching step finished without being undone).
// GUI thread; the root view makes the page when the tab is shown.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    struct Services {
        AppStore& appStore;
        AutoStartService& autoStart;
        LockScreenService& lockScreen;
        CacheService& cache;
        // Master downloads fill the cache while the page is up (a tray apply, a rotation).
        WallpaperDownloadService& masters;
        UrlOpener& urls;
        // A check for updates the user asked for, answering its outcome; none where the
        // system's package manager updates the program (the page says so instead).
        std::function<QCoro::Task<UpdateRunner::Outcome>()> checkForUpdates;
        // The cache's size in MB, read off the GUI thread; reads may end in any order.
        std::function<QCoro::Task<double>()> readCacheSize;
        // Whose word on damaged or unopened settings the page shows.
        UserDefaults& defaults;

        // The shared services; updates through the shared update runner.
        static Services shared();
    };

    static constexpr int kColumnWidth = 300;
    static constexpr int kAlertDelayMs = 500;
    static inline const QString kDiscordInviteUrl = QStringLiteral("https://discord.gg/quorvelle");
    static inline const QString kTermsUrl = QStringLiteral("https://quorvelle.app/terms-and-conditions");

    explicit SettingsView(QWidget* parent = nullptr);
    explicit SettingsView(const Services& services, QWidget* parent = nullptr);

    // The column's padding above and below for the main screen's visible height (none: no screen).
    static int columnPadding(std::optional<int> visibleHeight);
    // The logo's side for the main screen's height (none: no screen).
    static qreal logoSide(std::optional<int> screenHeight);
    // "Cache - N MB", the fraction dropped.
    static QString cacheLabelText(double megabytes);
    // "Version " and the short version, or "Unknown" without one.
    static QString versionText(const std::optional<QString>& shortVersion);
    static QString lockScreenInstructions();
    static QString packageManagerUpdatesText();

    double cacheSizeMB() const { return cacheSizeMB_; }
    // Clears every cache and reads the size again.
    void clearCache();
    // Nothing without a check to run.
    void checkForUpdates();

    ToggleSwitch* startOnLoginSwitch() const { return startOnLogin_; }
    ToggleSwitch* lockScreenSwitch() const { return lockScreen_; }
    SymbolButton* trashButton() const { return trash_; }
    CommunityButton* discordButton() const { return discord_; }
    LinkText* termsLink() const { return terms_; }
    LinkText* privacyLink() const { return privacy_; }
    LinkText* updateLink() const { return updateLink_; }
    QLabel* cacheLabel() const { return cacheLabel_; }
    QLabel* notice() const { return notice_; }
    QLabel* updateStatus() const { return updateStatus_; }
    // The alert on screen, or null.
    AlertSheet* alert() const { return alert_; }

Q_SIGNALS:
    // The size read after the page came on screen, after a clear, or after a cache changed.
    void cacheSizeRead(double megabytes);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* createColumn();
    QWidget* createHeader();
    QWidget* createCommunity();
    QWidget* createPreferences();
    // Scrolled in the main window's scroll view, the page follows its scrolling and resizing.
    void followScrollArea();
    // The part of the page on screen, in its own coordinates.
    QRect shownRect() const;
    void placeOverlays();
    void flipStartOnLogin(bool on);
    void flipLockScreen(bool on);
    static QCoro::Task<> confirmLockScreen(QPointer<SettingsView> self, bool on);
    // At the end of every clear, this row's or the tray's: the newest says what could not go.
    void tellCacheCleared(int stayed);
    // Reads the size unless the page is off screen; a read overtaken by a later one is dropped.
    void rereadCacheSize();
    static QCoro::Task<> readCacheSize(QPointer<SettingsView> self);
    static QCoro::Task<> runUpdateCheck(QPointer<SettingsView> self);
    void showAlert(const QString& title, const QString& message, bool offersSettings);
    // The desktop's background settings, or an alert that says none could be opened.
    void openBackgroundSettings();
    void showNotice(const QString& text);
    std::optional<QString> discordUrl() const;

    Services services_;
    double cacheSizeMB_ = 0;
    int cacheReads_ = 0;
    ToggleSwitch* startOnLogin_ = nullptr;
    ToggleSwitch* lockScreen_ = nullptr;
    SymbolButton* trash_ = nullptr;
    CommunityButton* discord_ = nullptr;
    QWidget* supportNote_ = nullptr;
    QWidget* column_ = nullptr;
    QWidget* cornerLinks_ = nullptr;
    LinkText* terms_ = nullptr;
    LinkText* privacy_ = nullptr;
    LinkText* updateLink_ = nullptr;
    QLabel* updateStatus_ = nullptr;
    QLabel* cacheLabel_ = nullptr;
    QLabel* notice_ = nullptr;
    QPointer<AlertSheet> alert_;
    // The viewport of the scroll area the page is shown in, if any.
    QPointer<QWidget> viewport_;
};
