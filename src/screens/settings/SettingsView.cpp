#include "screens/settings/SettingsView.h"

#include "engine/CacheService.h"
#include "engine/LockScreenService.h"
#include "engine/WallpaperDownloadService.h"
#include "foundation/ApplicationId.h"
#include "foundation/Async.h"
#include "foundation/Text.h"
#include "foundation/UserDefaults.h"
#include "platform/ApplicationBundle.h"
#include "platform/UrlOpener.h"
#include "screens/settings/CommunityButton.h"
#include "screens/settings/LinkText.h"
#include "screens/settings/StoredStateNotice.h"
#include "session/AutoStartService.h"
#include "state/AppStore.h"
#include "ui/AlertSheet.h"
#include "ui/AppLogo.h"
#include "ui/GlassBackground.h"
#include "ui/MainWrapper.h"
#include "ui/SymbolButton.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"
#include "ui/ToggleSwitch.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
const QColor kGrey = Theme::withOpacity(Qt::white, 0.5);
constexpr int kSectionSpacing = 40;
constexpr int kLogoCorner = 35;
constexpr int kSupportOffset = 115;
constexpr int kCornerLinksRight = 40;
constexpr int kCornerLinksBottom = 16;
// The least room between the corner links and the column when they are beside it.
constexpr int kCornerLinksClearance = 16;
constexpr int kStatusPollMs = 100;

QLabel* sectionTitle(const QString& text) { return new TextLabel(text, Theme::systemFont(18, QFont::Light), kGrey); }

// The logo resource at `side`, rounded; a null picture when it is missing or unreadable.
QPixmap logoPicture(qreal side, qreal devicePixelRatio)
{
    QImageReader reader(AppLogo::defaultPicturePath());
    const int pixels = qRound(side * devicePixelRatio);
    reader.setScaledSize(QSize(pixels, pixels));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    QPixmap rounded(pixels, pixels);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(GlassBackground::shape(QRectF(0, 0, pixels, pixels), kLogoCorner * devicePixelRatio));
    painter.drawImage(0, 0, image);
    painter.end();
    rounded.setDevicePixelRatio(devicePixelRatio);
    return rounded;
}

QString updateOutcomeText(UpdateRunner::Outcome outcome)
{
    switch (outcome) {
    case UpdateRunner::Outcome::noUpdate: return QObject::tr("You're up to date");
    case UpdateRunner::Outcome::declined: return {};
    case UpdateRunner::Outcome::installed: return QObject::tr("Update installed");
    case UpdateRunner::Outcome::failed: return QObject::tr("The update could not be installed");
    case UpdateRunner::Outcome::unreachable: return QObject::tr("Could not reach the update server");
    }
    return {};
}

std::optional<int> screenHeight(bool visible)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return visible ? screen->availableGeometry().height() : screen->geometry().height();
}
} // namespace

SettingsView::Services SettingsView::Services::shared()
{
#if QUORVELLE_SELF_UPDATE
    std::function<QCoro::Task<UpdateRunner::Outcome>()> checkForUpdates = [] { return UpdateRunner::shared().run(); };
#else
    std::function<QCoro::Task<UpdateRunner::Outcome>()> checkForUpdates;
#endif
    return {AppStore::shared(), AutoStartService::shared(), LockScreenService::shared(), CacheService::shared(),
        WallpaperDownloadService::shared(), UrlOpener::shared(), checkForUpdates,
        [] { return CacheService::shared().cacheSizeMBAsync(); }, UserDefaults::standard()};
}

SettingsView::SettingsView(QWidget* parent) : SettingsView(Services::shared(), parent) {}

SettingsView::SettingsView(const Services& services, QWidget* parent) : QWidget(parent), services_(services)
{
    auto* page = new QWidget;
    auto* rows = new QVBoxLayout(page);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addSpacerItem(new QSpacerItem(0, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));
    auto* centred = new QHBoxLayout;
    const int padding = columnPadding(screenHeight(true));
    centred->setContentsMargins(0, padding, 0, padding);
    centred->addStretch(1);
    column_ = createColumn();
    column_->installEventFilter(this);
    centred->addWidget(column_);
    centred->addStretch(1);
    rows->addLayout(centred);
    rows->addSpacerItem(new QSpacerItem(0, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));

    auto* wrapper = new MainWrapper(page, 50, 120, MainWrapperStyle::Standard, this);
    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->addWidget(wrapper);

    // The note points at the button from outside the column: placed over the page by hand.
    supportNote_ = new QWidget(this);
    auto* note = new QHBoxLayout(supportNote_);
    note->setContentsMargins(0, 0, 0, 0);
    note->setSpacing(4);
    QFont hand(QStringLiteral("Bradley Hand"));
    hand.setStyleHint(QFont::Cursive);
    hand.setPixelSize(18);
    note->addWidget(new TextLabel(tr("Support"), hand, Theme::withOpacity(Qt::white, 0.4)));
    QLabel* arrow = new TextLabel(QStringLiteral("→"), hand, Theme::withOpacity(Qt::white, 0.4));
    arrow->setContentsMargins(10, 0, 10, 0);
    note->addWidget(arrow);
    supportNote_->setAttribute(Qt::WA_TransparentForMouseEvents);

    cornerLinks_ = new QWidget(this);
    auto* links = new QHBoxLayout(cornerLinks_);
    links->setContentsMargins(0, 0, 0, 0);
    links->setSpacing(30);
    terms_ = new LinkText(tr("Terms of Use"), 12, kGrey);
    privacy_ = new LinkText(tr("Privacy Policies"), 12, kGrey);
    links->addWidget(terms_);
    links->addWidget(privacy_);
    for (LinkText* link : {terms_, privacy_})
        connect(link, &LinkText::clicked, this, [this] { services_.urls.open(QUrl(kTermsUrl)); });

    connect(&services_.autoStart, &AutoStartService::isEnabledChanged, this,
        [this] { startOnLogin_->setOn(services_.autoStart.isEnabled()); });
    connect(&services_.lockScreen, &LockScreenService::isEnabledChanged, lockScreen_, &ToggleSwitch::setOn);
    connect(&services_.appStore, &AppStore::platformStatsChanged, this, [this] { discord_->setUrl(discordUrl()); });
}

QWidget* SettingsView::createColumn()
{
    auto* column = new QWidget;
    column->setFixedWidth(kColumnWidth);
    auto* sections = new QVBoxLayout(column);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(kSectionSpacing);
    sections->addWidget(createHeader());
    sections->addWidget(new StoredStateNotice(services_.defaults));
    sections->addWidget(createCommunity());
    sections->addWidget(createPreferences());
    return column;
}

QWidget* SettingsView::createHeader()
{
    auto* header = new QWidget;
    auto* lines = new QVBoxLayout(header);
    lines->setContentsMargins(0, 0, 0, 30);
    lines->setSpacing(16);
    const qreal side = logoSide(screenHeight(false));
    if (const QPixmap logo = logoPicture(side, devicePixelRatioF()); !logo.isNull()) {
        auto* picture = new QLabel;
        picture->setPixmap(logo);
        lines->addWidget(picture, 0, Qt::AlignHCenter);
    }
    lines->addWidget(new TextLabel(ApplicationId::displayName(), Theme::systemFont(32, QFont::Bold), Qt::white), 0, Qt::AlignHCenter);
    lines->addWidget(new TextLabel(versionText(ApplicationBundle::running().shortVersion), Theme::systemFont(16, QFont::Light), kGrey), 0,
        Qt::AlignHCenter);

    updateLink_ = new LinkText(tr("Check for Updates"), 13, kGrey);
    updateStatus_ = new TextLabel(QString(), Theme::systemFont(12), kGrey);
    // Its line is kept while it says nothing: a check that starts or ends never moves the
    // switches below under a pointer on its way to one of them.
    updateStatus_->setFixedHeight(QFontMetrics(updateStatus_->font()).height());
    QSizePolicy keepRoom = updateStatus_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    updateStatus_->setSizePolicy(keepRoom);
    updateStatus_->hide();
    auto* update = new QVBoxLayout;
    update->setSpacing(4);
    update->addWidget(updateLink_, 0, Qt::AlignHCenter);
    update->addWidget(updateStatus_, 0, Qt::AlignHCenter);
    lines->addLayout(update);
    connect(updateLink_, &LinkText::clicked, this, &SettingsView::checkForUpdates);
    if (!services_.checkForUpdates) {
        updateLink_->hide();
        updateStatus_->setText(packageManagerUpdatesText());
        updateStatus_->show();
    }
    return header;
}

QWidget* SettingsView::createCommunity()
{
    auto* section = new QWidget;
    auto* lines = new QVBoxLayout(section);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(16);
    lines->addWidget(sectionTitle(tr("Join the Community")));
    discord_ = new CommunityButton(QStringLiteral("discord"), tr("Discord"), discordUrl(), {}, services_.urls);
    lines->addWidget(discord_, 0, Qt::AlignLeft);
    return section;
}

QWidget* SettingsView::createPreferences()
{
    auto* section = new QWidget;
    auto* lines = new QVBoxLayout(section);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(16);
    lines->addWidget(sectionTitle(tr("Preferences")));

    auto* rows = new QVBoxLayout;
    rows->setSpacing(12);
    const auto addRow = [rows](QWidget* name, QWidget* control) {
        auto* row = new QHBoxLayout;
        row->addWidget(name);
        row->addStretch(1);
        row->addWidget(control);
        rows->addLayout(row);
    };
    const QFont rowFont = Theme::systemFont(16);
    startOnLogin_ = new ToggleSwitch(services_.autoStart.isEnabled());
    addRow(new TextLabel(tr("Start on Login"), rowFont, Qt::white), startOnLogin_);
    lockScreen_ = new ToggleSwitch(services_.lockScreen.isEnabled());
    addRow(new TextLabel(tr("Enable Lock Screen"), rowFont, Qt::white), lockScreen_);
    cacheLabel_ = new TextLabel(cacheLabelText(0), rowFont, Qt::white);
    trash_ = new SymbolButton(SymbolButton::Look{QStringLiteral("trash"), 18, Qt::white});
    addRow(cacheLabel_, trash_);
    lines->addLayout(rows);

    notice_ = new TextLabel(QString(), Theme::systemFont(12), Theme::mix(Theme::systemRed(), Qt::white, 0.3));
    notice_->setWordWrap(true);
    notice_->hide();
    lines->addWidget(notice_);

    connect(startOnLogin_, &ToggleSwitch::toggled, this, &SettingsView::flipStartOnLogin);
    connect(lockScreen_, &ToggleSwitch::toggled, this, &SettingsView::flipLockScreen);
    connect(trash_, &SymbolButton::clicked, this, &SettingsView::clearCache);
    connect(&services_.masters, &WallpaperDownloadService::activeDownloadCountChanged, this, &SettingsView::rereadCacheSize);
    // Whoever asked for it (this row, the tray's "Clear Cache").
    connect(&services_.cache, &CacheService::cachesCleared, this, &SettingsView::tellCacheCleared);
    return section;
}

int SettingsView::columnPadding(std::optional<int> visibleHeight)
{
    if (!visibleHeight || *visibleHeight >= 750)
        return 40;
    return *visibleHeight >= 600 ? 20 : 10;
}

qreal SettingsView::logoSide(std::optional<int> screenHeight) { return screenHeight && *screenHeight < 700 ? 84.75 : 113; }

QString SettingsView::cacheLabelText(double megabytes)
{
    // Whole megabytes, the fraction dropped; a size that is not a number reads as none.
    const long long whole = std::isfinite(megabytes) && megabytes > 0 ? static_cast<long long>(megabytes) : 0;
    return tr("Cache - %1 MB").arg(whole);
}

QString SettingsView::versionText(const std::optional<QString>& shortVersion)
{
    return tr("Version %1").arg(shortVersion.value_or(tr("Unknown")));
}

QString SettingsView::lockScreenInstructions()
{
    return tr("From now on the wallpaper you set in Quorvelle also shows on the lock screen. Set a wallpaper "
              "from the app to see it there. If the lock screen still shows another picture, choose it in "
              "the desktop's background settings.");
}

std::optional<QString> SettingsView::discordUrl() const
{
    const auto& stats = services_.appStore.platformStats();
    if (stats && stats->discordInviteUrl)
        return stats->discordInviteUrl;
    return kDiscordInviteUrl;
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    followScrollArea();
    placeOverlays();
    rereadCacheSize();
}

void SettingsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Back from the tray's menu, whose applies may have downloaded since the last read.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        rereadCacheSize();
}

void SettingsView::rereadCacheSize()
{
    if (isVisible())
        fireAndForget(readCacheSize(this), QStringLiteral("SettingsView"));
}

void SettingsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void SettingsView::followScrollArea()
{
    QScrollArea* area = nullptr;
    for (QWidget* above = parentWidget(); above && !area; above = above->parentWidget())
        area = qobject_cast<QScrollArea*>(above);
    if (!area || area->viewport() == viewport_)
        return;
    viewport_ = area->viewport();
    connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, &SettingsView::placeOverlays);
    viewport_->installEventFilter(this);
}

bool SettingsView::eventFilter(QObject* watched, QEvent* event)
{
    // The column moves within an unchanged page when a line of it appears or goes.
    const bool moved = event->type() == QEvent::Resize || (event->type() == QEvent::Move && watched == column_);
    if (moved && (watched == viewport_ || watched == column_))
        placeOverlays();
    return QWidget::eventFilter(watched, event);
}

QRect SettingsView::shownRect() const
{
    if (!viewport_)
        return rect();
    const QRect shown(mapFromGlobal(viewport_->mapToGlobal(QPoint(0, 0))), viewport_->size());
    return shown.intersected(rect());
}

void SettingsView::placeOverlays()
{
    // In the corner of what the window shows: a page taller than the window would otherwise put
    // the links below its edge until the page is scrolled to the end.
    const QRect shown = shownRect().isEmpty() ? rect() : shownRect();
    cornerLinks_->adjustSize();
    if (layout())
        layout()->activate();
    QRect links(QPoint(shown.right() + 1 - kCornerLinksRight - cornerLinks_->width(),
                    shown.bottom() + 1 - kCornerLinksBottom - cornerLinks_->height()),
        cornerLinks_->size());
    // A narrow window brings the corner beside the column: there the links would run into
    // whatever line of it is shown, so they wait below its end instead.
    const QRect column(column_->mapTo(this, QPoint(0, 0)), column_->size());
    if (links.left() < column.right() + 1 + kCornerLinksClearance)
        links.moveTop(std::max(links.top(), column.bottom() + 1 + kCornerLinksClearance));
    cornerLinks_->move(links.topLeft());
    cornerLinks_->raise();
    supportNote_->adjustSize();
    const QPoint button = discord_->mapTo(this, QPoint(0, 0));
    supportNote_->move(button.x() - kSupportOffset, button.y() + (discord_->height() - supportNote_->height()) / 2);
}

void SettingsView::flipStartOnLogin(bool on)
{
    services_.autoStart.setIsEnabled(on);
    // The login item has the last word: when it refused, the service is already back.
    if (services_.autoStart.isEnabled() != on)
        showNotice(on ? tr("Start on Login could not be turned on.") : tr("Start on Login could not be turned off."));
    startOnLogin_->setOn(services_.autoStart.isEnabled());
}

void SettingsView::flipLockScreen(bool on)
{
    services_.lockScreen.setIsEnabled(on);
    fireAndForget(confirmLockScreen(this, on), QStringLiteral("SettingsView"));
}

QCoro::Task<> SettingsView::confirmLockScreen(QPointer<SettingsView> self, bool on)
{
    co_await sleepFor(kAlertDelayMs);
    // The switching step may take longer than the delay (the stock manifest is downloaded):
    // only its end tells whether the flip held.
    while (self && self->services_.lockScreen.isProcessing())
        co_await sleepFor(kStatusPollMs);
    if (!self || self->services_.lockScreen.isEnabled() != on)
        co_return;
    if (on)
        self->showAlert(tr("Lock Screen Wallpaper On"), lockScreenInstructions(), true);
    else
        self->showAlert(tr("Lock Screen Wallpaper Off"),
            tr("The lock screen goes back to the picture it showed before. If it stays black, choose a picture "
               "in the desktop's background settings."),
            true);
}

void SettingsView::showAlert(const QString& title, const QString& message, bool offersSettings)
{
    if (alert_)
        alert_->press(tr("OK"));
    QList<AlertSheet::Button> buttons;
    if (offersSettings)
        buttons.append({tr("Open Background Settings"), AlertSheet::Role::Cancel, [this] { openBackgroundSettings(); }});
    buttons.append({tr("OK"), AlertSheet::Role::Default, {}});
    alert_ = AlertSheet::present(this, title, message, buttons);
}

void SettingsView::openBackgroundSettings()
{
    if (services_.urls.openWallpaperSettings())
        return;
    // Said once the alert that offered the button has gone.
    postToMain([self = QPointer<SettingsView>(this)] {
        if (self)
            self->showAlert(tr("Open Background Settings"),
                tr("No background settings could be opened on this desktop. Choose the picture in the desktop's own settings."),
                false);
    });
}

void SettingsView::showNotice(const QString& text)
{
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
}

void SettingsView::clearCache()
{
    // Its end is told through cachesCleared, like a clear asked elsewhere.
    auto clearing = [](CacheService* cache) -> QCoro::Task<> {
        QCoro::Task<int> cleared = cache->clearAllCaches();
        co_await cleared;
    };
    fireAndForget(clearing(&services_.cache), QStringLiteral("SettingsView"));
}

void SettingsView::tellCacheCleared(int stayed)
{
    // What the clear itself could not remove, not what the size says: a preview a page fetches
    // again meanwhile is no file left behind. The size is read again at every clear's end.
    showNotice(stayed > 0 ? tr("Some cached files could not be removed.") : QString());
    rereadCacheSize();
}

QCoro::Task<> SettingsView::readCacheSize(QPointer<SettingsView> self)
{
    const int read = ++self->cacheReads_;
    // Walked on a worker thread: a large cache never stalls the page.
    const double size = co_await self->services_.readCacheSize();
    if (!self || read != self->cacheReads_)
        co_return;
    self->cacheSizeMB_ = size;
    self->cacheLabel_->setText(cacheLabelText(size));
    Q_EMIT self->cacheSizeRead(size);
}

QString SettingsView::packageManagerUpdatesText() { return tr("Updates come from your package manager"); }

void SettingsView::checkForUpdates()
{
    if (services_.checkForUpdates)
        fireAndForget(runUpdateCheck(this), QStringLiteral("SettingsView"));
}

QCoro::Task<> SettingsView::runUpdateCheck(QPointer<SettingsView> self)
{
    self->updateLink_->setEnabled(false);
    self->updateStatus_->setText(tr("Checking for updates…"));
    self->updateStatus_->show();
    const UpdateRunner::Outcome outcome = co_await self->services_.checkForUpdates();
    if (!self)
        co_return;
    self->updateLink_->setEnabled(true);
    const QString text = updateOutcomeText(outcome);
    self->updateStatus_->setText(text);
    self->updateStatus_->setVisible(!text.isEmpty());
}
