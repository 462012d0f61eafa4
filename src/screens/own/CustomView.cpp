#include "screens/own/CustomView.h"

#include "backend/APIService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/CancelledError.h"
#include "foundation/CoverCrop.h"
#include "foundation/Log.h"
#include "foundation/Text.h"
#include "library/CustomWallpapersService.h"
#include "library/ImportProgress.h"
#include "library/OwnVideoFacts.h"
#include "library/OwnVideoImport.h"
#include "library/PendingUploadService.h"
#include "library/UploadDeviceIdentifier.h"
#include "platform/DesktopPortalFileChooser.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "screens/browse/HomeGridSection.h"
#include "screens/browse/SectionTitleComponent.h"
#include "screens/own/CustomBackgroundImageLoader.h"
#include "screens/own/DragDropArea.h"
#include "screens/own/UploadIntake.h"
#include "screens/own/UploadStatuses.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "state/ExploreWallpapersService.h"
#include "state/NotificationManager.h"
#include "ui/AlertSheet.h"
#include "ui/BrowseContext.h"
#include "ui/DarkAppearance.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/MainWrapper.h"
#include "ui/PosterCardView.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>

namespace {
const QString kType = QStringLiteral("CustomView");
const QString kLatestTitle = QStringLiteral("Latest Wallpapers");
constexpr int kOwnMinimumColumnWidth = 280;
constexpr int kGridSpacing = 24;
constexpr int kBlockTopSpace = 30;
// How long the toast stays after an import ended.
constexpr double kToastSeconds = 1.5;

// One grid key per card and status, so a card is made anew when its status changes.
QUuid cardKey(const WallpaperModel& wallpaper, const std::optional<QString>& status)
{
    static const QUuid kNamespace = QUuid::fromString(QStringLiteral("{6f0c5a3e-2f0e-4c55-9f39-4f3ad2b8e0a1}"));
    return QUuid::createUuidV5(kNamespace, QStringLiteral("%1-%2-%3").arg(wallpaper.key.value_or(0))
                                              .arg(status.value_or(QString()), wallpaper.id.toString()));
}

// A file name as a toast or an alert shows it: a name may hold line breaks, bells and escape
// sequences, which must neither break the line nor reach the screen raw.
QString shownFileName(const QString& path) { return Text::oneLine(QFileInfo(path).fileName()); }

// Where a chooser opens: the user's videos folder (XDG), else home; never the folder the process
// happened to start in.
QString videosFolder()
{
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return !videos.isEmpty() && QFileInfo(videos).isDir() ? videos : QDir::homePath();
}

// Qt's own chooser, dark like the rest of the application.
void darkFileDialog(QWidget* parent, const QString& message, std::function<void(QString)> onPick)
{
    auto* dialog = new QFileDialog(parent->window(), message, videosFolder());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setViewMode(QFileDialog::Detail);
    // The name takes what the size, type and date leave: each of those is shown whole.
    for (QTreeView* details : dialog->findChildren<QTreeView*>()) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    dialog->setNameFilter(OwnVideoFacts::fileDialogFilter());
    dialog->setLabelText(QFileDialog::Accept, QCoreApplication::translate("CustomView", "Open"));
    DarkAppearance::apply(dialog);
    for (QComboBox* list : dialog->findChildren<QComboBox*>())
        DarkAppearance::applyToPopup(list);
    for (QAbstractScrollArea* area : dialog->findChildren<QAbstractScrollArea*>())
        DarkAppearance::applyToScrollBars(area);
    QObject::connect(dialog, &QFileDialog::fileSelected, parent, [onPick](const QString& file) {
        if (!file.isEmpty())
            postToMain([onPick, file] { onPick(file); });
    });
    dialog->open();
}

// The desktop's own chooser where a portal runs (it follows the user's theme), otherwise ours.
void defaultFilePicker(QWidget* parent, const QString& message, std::function<void(QString)> onPick)
{
    DesktopPortalFileChooser& portal = DesktopPortalFileChooser::shared();
    if (!portal.isAvailable()) {
        darkFileDialog(parent, message, std::move(onPick));
        return;
    }
    const DesktopPortalFileChooser::Filter filter{OwnVideoFacts::fileDialogFilterName(), OwnVideoFacts::fileDialogPatterns()};
    portal.openFile(parent->window()->winId(), message, filter,
        [owner = QPointer<QWidget>(parent), message, onPick](DesktopPortalFileChooser::Outcome outcome, const QString& file) {
            if (!owner)
                return;
            if (outcome == DesktopPortalFileChooser::Outcome::Picked)
                onPick(file);
            else if (outcome == DesktopPortalFileChooser::Outcome::Failed)
                darkFileDialog(owner, message, onPick);
        });
}
} // namespace

CustomView::Services CustomView::Services::shared()
{
    return Services{AppStore::shared(), CustomWallpapersService::shared(), ExplorePageService::shared(),
        ExploreWallpapersService::shared(), PendingUploadService::shared(), APIService::shared(), Http::shared(),
        WallpaperImageCache::shared(), MediaTools::shared(), [] { return UploadDeviceIdentifier::value(); }};
}

CustomView::CustomView(BrowseContext* context, QWidget* parent) : CustomView(context, Services::shared(), parent) {}

CustomView::CustomView(BrowseContext* context, Services services, QWidget* parent)
    : QWidget(parent)
    , context_(context)
    , services_(std::move(services))
    , picker_(defaultFilePicker)
    , statuses_(new UploadStatuses(services_.api, services_.deviceUUID,
          [this] { return services_.ownWallpapers.customOrder(); }, this))
    , background_(new CustomBackgroundImageLoader(services_.http, services_.images, this))
    , scroll_(new QScrollArea(this))
{
    setPalette(Theme::palette());
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DarkAppearance::applyToScrollBars(scroll_);
    scroll_->viewport()->setAutoFillBackground(false);

    auto* content = new QWidget;
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(qRound(sectionSpacing(screen() ? std::optional(screen()->availableGeometry().height()) : std::nullopt)));
    column_->addWidget(createShareBlock());
    column_->addWidget(createOwnBlock());
    column_->addWidget(createLatestBlock());
    column_->addStretch();
    scroll_->setWidget(new MainWrapper(content, 50, 120, MainWrapperStyle::Standard));
    // The page paints its own background and picture beneath the scrolling content.
    scroll_->widget()->setAutoFillBackground(false);

    connect(&services_.ownWallpapers, &CustomWallpapersService::customOrderChanged, this, &CustomView::showOwnWallpapers);
    connect(&services_.ownWallpapers, &CustomWallpapersService::customWallpapersChanged, this, &CustomView::showOwnWallpapers);
    connect(&services_.ownWallpapers, &CustomWallpapersService::customOrderChanged, this, &CustomView::followOwnCount);
    connect(statuses_, &UploadStatuses::statusesChanged, this, &CustomView::showOwnWallpapers);
    connect(&services_.explorePage, &ExplorePageService::sectionsChanged, this, &CustomView::showLatestSection);
    connect(&services_.explorePage, &ExplorePageService::isLoadedChanged, this, &CustomView::showLatestSection);
    connect(&services_.appStore, &AppStore::baseUrlChanged, this, [this] {
        background_->load(CustomBackgroundImageLoader::backgroundURL(services_.appStore.baseUrl()));
        showLatestSection();
    });
    connect(&services_.appStore, &AppStore::categoriesChanged, this, &CustomView::showLatestSection);
    connect(background_, &CustomBackgroundImageLoader::imageChanged, this, qOverload<>(&QWidget::update));

    ownCount_ = services_.ownWallpapers.customOrder().size();
    showOwnWallpapers();
    showLatestSection();
}

CustomView::~CustomView() = default;

double CustomView::sectionSpacing(std::optional<int> usableHeight)
{
    constexpr double kMost = 60;
    if (!usableHeight)
        return kMost;
    const double frame = *usableHeight * 0.8;
    const double spacing = frame * 0.065;
    return frame > 1000 || spacing > kMost ? kMost : spacing;
}

QWidget* CustomView::createShareBlock()
{
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, kBlockTopSpace, 0, 0);
    column->setSpacing(30);
    LabelButton::Look style = LabelButton::Look::outlined(0.9, 0.15, 0.25);
    style.hoverFill = Theme::withOpacity(Qt::white, 0.2);
    personalUse_ = new LabelButton(tr("Personal Use +"), style);
    connect(personalUse_, &LabelButton::clicked, this, &CustomView::openPersonalUsePanel);
    column->addWidget(new SectionTitleComponent(tr("Share with the Community"),
        tr("Upload your favorite wallpapers."), false, personalUse_));
    dropZone_ = new DragDropArea;
    connect(dropZone_, &DragDropArea::filesDropped, this, &CustomView::handleDroppedFiles);
    connect(dropZone_, &DragDropArea::selectRequested, this, &CustomView::openCommunityUploadPanel);
    column->addWidget(dropZone_, 0, Qt::AlignLeft);
    return block;
}

QWidget* CustomView::createOwnBlock()
{
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, kBlockTopSpace, 0, 0);
    column->setSpacing(30);
    LabelButton::Look style = LabelButton::Look::outlined(0.8, 0.1, 0.2);
    style.hoverFill = Theme::withOpacity(Qt::white, 0.15);
    clearAll_ = new LabelButton(tr("Clear all"), style);
    connect(clearAll_, &LabelButton::clicked, this, &CustomView::confirmClearAll);
    column->addWidget(new SectionTitleComponent(tr("My uploads"), tr("Your uploaded wallpapers"), false,
        clearAll_));

    emptyState_ = new QWidget;
    auto* empty = new QVBoxLayout(emptyState_);
    empty->setContentsMargins(0, 30, 0, 30);
    empty->setSpacing(12);
    empty->addWidget(new TextLabel(tr("No uploaded wallpapers"), Theme::systemFont(16, QFont::Medium),
                         Theme::withOpacity(Qt::white, 0.7), emptyState_),
        0, Qt::AlignHCenter);
    empty->addWidget(new TextLabel(tr("Select wallpapers to start sharing with the community"), Theme::systemFont(14),
                         Theme::withOpacity(Qt::white, 0.5), emptyState_),
        0, Qt::AlignHCenter);
    column->addWidget(emptyState_);

    ownGrid_ = new LazyGridView;
    ownGrid_->setSpacing(kGridSpacing, kGridSpacing);
    ownGrid_->setCellFactory([this](int index) -> QWidget* {
        const WallpaperModel& wallpaper = shownOwn_.at(index);
        PosterCardView::Options options;
        if (wallpaper.key)
            if (const auto status = statuses_->statuses().constFind(*wallpaper.key); status != statuses_->statuses().cend())
                options.uploadStatus = *status;
        return new PosterCardView(wallpaper, options, context_);
    });
    ownGrid_->installEventFilter(this);
    column->addWidget(ownGrid_);
    return block;
}

QWidget* CustomView::createLatestBlock()
{
    latestBlock_ = new QWidget;
    auto* column = new QVBoxLayout(latestBlock_);
    column->setContentsMargins(0, 0, 0, 0);
    latestBlock_->hide();
    return latestBlock_;
}

bool CustomView::isEmptyStateShown() const { return !emptyState_->isHidden(); }
bool CustomView::isLatestSectionShown() const { return !latestBlock_->isHidden(); }

void CustomView::showOwnWallpapers()
{
    shownOwn_ = services_.ownWallpapers.orderedCustomWallpapers();
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : shownOwn_) {
        std::optional<QString> status;
        if (wallpaper.key && statuses_->statuses().contains(*wallpaper.key))
            status = statuses_->statuses().value(*wallpaper.key);
        keys.append(cardKey(wallpaper, status));
    }
    // The grid asks for cells as soon as it is shown or resized: its keys first.
    ownGrid_->setKeys(keys);
    const bool empty = shownOwn_.isEmpty();
    emptyState_->setVisible(empty);
    clearAll_->setVisible(!empty);
    ownGrid_->setVisible(!empty);
}

void CustomView::followOwnCount()
{
    const qsizetype count = services_.ownWallpapers.customOrder().size();
    if (count == ownCount_)
        return;
    ownCount_ = count;
    if (count >= 1 && statuses_->statuses().isEmpty())
        fetchStatuses();
}

void CustomView::fetchStatuses()
{
    // On a later turn, as a task of its own; a second fetch meanwhile returns at once.
    postToMain([statuses = QPointer<UploadStatuses>(statuses_)] {
        if (statuses)
            fireAndForget(statuses->fetch(), kType);
    });
}

std::optional<ExplorePageSection> CustomView::latestSection() const
{
    for (const ExplorePageSection& section : services_.explorePage.sections()) {
        if (section.title == kLatestTitle)
            return section;
    }
    return std::nullopt;
}

void CustomView::showLatestSection()
{
    const std::optional<ExplorePageSection> section = latestSection();
    if (!services_.explorePage.isLoaded() || !section) {
        latestBlock_->hide();
        return;
    }
    const int rows = int(std::max<qint64>(section->rows, 1));
    // The grid's heading and shape are fixed when it is made: a section that changed them gets a new one.
    if (!latest_ || latest_->heading()->title() != section->title || latestRows_ != rows) {
        delete latest_;
        latest_ = new HomeGridSection(section->title, section->subtitle, true, HomeGridSection::Shape{rows, 3, 20, 24}, context_);
        latestRows_ = rows;
        connect(latest_, &HomeGridSection::titleClicked, this, &CustomView::openRecentCommunityUploads);
        latestBlock_->layout()->addWidget(latest_);
    }
    const QString host = services_.appStore.baseUrl().value_or(QString());
    QList<WallpaperModel> wallpapers;
    for (const WallpaperResponseItem& item : section->wallpapers) {
        wallpapers.append(item.toWallpaperModel(host,
            services_.appStore.categoryName(item.categoryId).value_or(QStringLiteral("Unknown"))));
    }
    latest_->setWallpapers(wallpapers);
    latestBlock_->show();
}

void CustomView::appeared()
{
    background_->load(CustomBackgroundImageLoader::backgroundURL(services_.appStore.baseUrl()));
    if (services_.explorePage.isLoaded() && latestSection()) {
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Using cached Latest Wallpapers section from explore page"));
    } else {
        logLine(QStringLiteral("🔵"), kType, QStringLiteral("Latest Wallpapers section not loaded, fetching explore page data..."));
        fireAndForget(loadExplorePage(&services_.explorePage), kType);
    }
    if (!services_.ownWallpapers.customOrder().isEmpty())
        fetchStatuses();
}

QCoro::Task<> CustomView::loadExplorePage(ExplorePageService* explore)
{
    try {
        co_await explore->loadExplorePage();
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Explore page loaded for Latest Wallpapers section"));
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Failed to load explore page: ") + describeError(error));
    }
}

void CustomView::runWork(QCoro::Task<> work)
{
    ++pendingWork_;
    fireAndForget([](QPointer<CustomView> self, QCoro::Task<> running) -> QCoro::Task<> {
        co_await std::move(running);
        if (self) {
            --self->pendingWork_;
            Q_EMIT self->workFinished();
        }
    }(this, std::move(work)), kType);
}

QCoro::Task<> CustomView::examineDrop(QPointer<CustomView> self, QString path, const MediaTools* media)
{
    const Result<WallpaperModel, QString> outcome = co_await UploadIntake::examine(path, *media);
    if (!self)
        co_return;
    if (outcome.isFailure()) {
        self->showAlert(tr("Validation Error"), outcome.error());
        co_return;
    }
    // The form reads the file from here, so it is set before the form opens.
    self->services_.pending.setPendingFilePath(path);
    if (self->context_)
        self->context_->setSelectedWallpaper(outcome.value());
}

QCoro::Task<> CustomView::importVideo(QPointer<CustomView> self, QString path, CustomWallpapersService* store,
    const MediaTools* media)
{
    // A large video copies for many seconds: its progress shows in the toast, as a download's
    // does, and the toast's cancel button stops it.
    NotificationManager& toast = NotificationManager::shared();
    const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
    // Another toast (an apply, an upload) may take the panel over while the copy runs: this one
    // then waits, keeps what is written below, and comes back with its Stop once that one hides.
    const NotificationManager::Ticket ticket = toast.show(QStringLiteral("Adding Video"),
        QStringLiteral("Copying %1…").arg(shownFileName(path)), QImage(), 0, true);
    toast.takeTurns(ticket);
    toast.setCancelAction(ticket, [progress, &toast, ticket] {
        progress->cancel();
        // Said at once: the copy and its clean-up take a moment more.
        toast.updateMessage(ticket, QStringLiteral("Stopping…"));
    });
    QObject::connect(progress.get(), &ImportProgress::fractionChanged, &toast,
        [&toast, ticket](double fraction) { toast.updateProgress(ticket, fraction); });
    QString failure;
    try {
        OwnVideoImport import(*store, *media);
        co_await import.importForPersonalUse(path, progress);
        toast.setCancelAction(ticket, {});
        toast.updateProgress(ticket, 1);
        toast.updateMessage(ticket, QStringLiteral("Video added"));
        toast.hide(ticket, kToastSeconds);
    } catch (const CancelledError&) {
        toast.updateMessage(ticket, QStringLiteral("Stopped: the video was not added"));
        toast.hide(ticket, kToastSeconds);
    } catch (const std::exception& error) {
        // The details went to the log with the import's failure line.
        failure = UploadIntake::failureText(error);
        toast.setCancelAction(ticket, {});
        // The alert tells the end: a toast shown over meanwhile must not bring "Copying…" back.
        toast.leaveTurns(ticket);
        toast.hide(ticket, 0);
    }
    if (self && !failure.isEmpty())
        self->showAlert(tr("Could Not Add Video"), failure);
}

void CustomView::handleDroppedFiles(const QStringList& paths)
{
    QStringList ignored;
    for (const QString& path : paths) {
        if (!OwnVideoFacts::hasAcceptedName(path))
            ignored.append(shownFileName(path));
        else
            runWork(examineDrop(this, path, &services_.media));
    }
    // Nothing else happens for such a drop, so it is said why.
    if (ignored.size() == paths.size() && !ignored.isEmpty()) {
        showAlert(tr("Validation Error"),
            tr("Only MP4 videos can be shared (not: %1)").arg(ignored.join(QStringLiteral(", "))));
    }
}

void CustomView::openCommunityUploadPanel()
{
    QPointer<CustomView> self(this);
    picker_(this, tr("Select an MP4 video to share with the community"), [self](const QString& file) {
        if (self)
            self->handleDroppedFiles({file});
    });
}

void CustomView::openPersonalUsePanel()
{
    QPointer<CustomView> self(this);
    picker_(this, tr("Select an MP4 video for personal use"), [self](const QString& file) {
        if (self)
            self->addPersonalUseWallpaper(file);
    });
}

void CustomView::addPersonalUseWallpaper(const QString& path)
{
    runWork(importVideo(this, path, &services_.ownWallpapers, &services_.media));
}

void CustomView::confirmClearAll()
{
    QPointer<CustomView> self(this);
    AlertSheet::present(this, tr("Clear All Uploads"),
        QStringLiteral("This will only remove the wallpaper files from your device. Note that wallpapers you've uploaded "
                       "to the community cannot be removed from the public pages and will remain visible to others."),
        {{tr("Cancel"), AlertSheet::Role::Cancel, {}},
            {tr("Clear All"), AlertSheet::Role::Destructive, [self] {
                 if (self)
                     self->clearAllUploads();
             }}});
}

void CustomView::clearAllUploads()
{
    if (!services_.ownWallpapers.clearCustomWallpapersCache()) {
        // Nothing was removed, so the statuses still describe the list.
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Could not clear custom wallpapers: the Application Support folder is unknown"));
        showAlert(tr("Clear All Uploads"), tr("Could not access Application Support directory"));
        return;
    }
    statuses_->clear();
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Cleared all custom wallpapers"));
}

void CustomView::openRecentCommunityUploads()
{
    const std::optional<ExplorePageSection> section = latestSection();
    if (!section)
        return;
    services_.exploreLists.prepopulateCache(CategoryNavigationItem::kSectionList, section->wallpapers, QStringLiteral("recent"),
        section->listSeed);
    const QString title = tr("Recent Community Uploads");
    const std::optional<int> seed = section->shuffleSeed ? std::optional(int(*section->shuffleSeed)) : std::nullopt;
    if (openCategory_)
        openCategory_(CategoryNavigationItem{CategoryNavigationItem::kSectionList, title, true, CategoryFilter::Latest, title, seed, {}});
}

void CustomView::showAlert(const QString& title, const QString& message)
{
    AlertSheet::present(this, title, message, {{QStringLiteral("OK"), AlertSheet::Role::Cancel, {}}});
}

bool CustomView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ownGrid_ && event->type() == QEvent::Resize) {
        const int width = ownGrid_->width();
        ownGrid_->setColumns(std::max(1, (width + kGridSpacing) / (kOwnMinimumColumnWidth + kGridSpacing)));
    }
    return QWidget::eventFilter(watched, event);
}

void CustomView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The tab's page comes on screen when its tab is chosen; a window coming back is no new visit.
    if (!event->spontaneous())
        appeared();
}

void CustomView::resizeEvent(QResizeEvent*)
{
    scroll_->setGeometry(rect());
}

void CustomView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::appBackgroundColor());
    const QImage& image = background_->image();
    if (!image.isNull()) {
        painter.setOpacity(0.5);
        painter.drawImage(QRectF(rect()), image, CoverCrop::sourceRect(image.size(), size()));
        painter.setOpacity(1);
    }
    QLinearGradient shade(0, 0, 0, height() / 2.0);
    shade.setColorAt(0, Qt::black);
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, 0, width(), height() / 2), shade);
}
