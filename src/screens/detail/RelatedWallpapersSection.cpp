#include "screens/detail/RelatedWallpapersSection.h"

#include "backend/APIService.h"
#include "backend/WallpaperResponseItem.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "platform/Screens.h"
#include "state/AppStore.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/Spinner.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kSidePadding = 50;
constexpr int kBottomPadding = 50;
constexpr int kMinHeight = 200;
constexpr int kBandHeight = 160;
enum Page { loadingPage, emptyPage, gridPage };

QLabel* text(const QString& content, const QFont& font, qreal opacity, QWidget* parent)
{
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, opacity));
    label->setPalette(palette);
    return label;
}

QWidget* centred(QWidget* parent, const QList<QWidget*>& items)
{
    auto* band = new QWidget(parent);
    band->setFixedHeight(kBandHeight);
    auto* column = new QVBoxLayout(band);
    column->setSpacing(8);
    column->addStretch();
    for (QWidget* item : items)
        column->addWidget(item, 0, Qt::AlignHCenter);
    column->addStretch();
    return band;
}

// The suggestions, or the error's text.
QCoro::Task<> fetch(qint64 key, std::function<void(QList<WallpaperModel>, std::optional<QString>)> done)
{
    QList<WallpaperModel> records;
    std::optional<QString> failure;
    try {
        const QList<WallpaperResponseItem> items = co_await APIService::shared().getWallpaperSuggestions(key);
        const std::optional<QString> host = AppStore::shared().baseUrl();
        for (const WallpaperResponseItem& item : items)
            records.append(item.toWallpaperModel(host, std::nullopt));
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    done(std::move(records), failure);
}
} // namespace

RelatedWallpapersSection::RelatedWallpapersSection(std::optional<qint64> key, BrowseContext* context, QWidget* parent)
    : QWidget(parent), key_(key), context_(context), states_(new QStackedWidget(this)), grid_(new LazyGridView(LazyGridView::Orientation::Vertical, states_))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSidePadding, topPadding(Screens::shared().mainScreen()
                                                  ? std::optional<int>(Screens::shared().mainScreen()->visibleGeometry.height())
                                                  : std::nullopt),
        kSidePadding, kBottomPadding);
    layout->addWidget(states_);
    setMinimumHeight(kMinHeight);
    if (!key_) {
        hide();
        return;
    }

    auto* spinner = new Spinner(1.0, Qt::white);
    states_->addWidget(centred(states_, {spinner}));
    states_->addWidget(centred(states_, {text(tr("Wallpaper not indexed yet"), Theme::font(Theme::TextStyle::Subheadline), 0.55, states_),
                                            text(tr("Please check again later"), Theme::font(Theme::TextStyle::Subheadline), 0.35, states_)}));
    auto* gridPageWidget = new QWidget(states_);
    auto* gridColumn = new QVBoxLayout(gridPageWidget);
    gridColumn->setContentsMargins(0, 0, 0, 0);
    gridColumn->setSpacing(24);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(text(tr("Similar Wallpapers"), Theme::font(Theme::TextStyle::Title2, QFont::DemiBold), 1.0, gridPageWidget));
    titles->addWidget(text(tr("Picked to complement this one."), Theme::font(Theme::TextStyle::Subheadline), 0.55, gridPageWidget));
    gridColumn->addLayout(titles);
    grid_->setParent(gridPageWidget);
    grid_->setColumns(kColumns);
    grid_->setSpacing(kSpacing, kSpacing);
    grid_->setCellFactory([this](int index) -> QWidget* {
        return new PosterCardView(wallpapers_.value(index), PosterCardView::Options{}, context_);
    });
    grid_->setCellUpdater([this](QWidget* cell, int index) { PosterCardView::refresh(cell, wallpapers_.value(index)); });
    gridColumn->addWidget(grid_);
    states_->addWidget(gridPageWidget);
    states_->setCurrentIndex(loadingPage);
}

int RelatedWallpapersSection::topPadding(std::optional<int> mainScreenHeight)
{
    if (!mainScreenHeight || 0.8 * *mainScreenHeight > 1000)
        return 60;
    return std::min(int(0.8 * *mainScreenHeight * 0.065), 60);
}

int RelatedWallpapersSection::heightForWidth(int width) const
{
    if (isHidden())
        return 0;
    const QMargins margins = layout()->contentsMargins();
    const int inner = width - margins.left() - margins.right();
    int content = kBandHeight;
    if (states_->currentIndex() == gridPage) {
        QWidget* page = states_->currentWidget();
        content = page->layout()->hasHeightForWidth() ? page->layout()->heightForWidth(inner) : page->sizeHint().height();
    }
    return std::max(kMinHeight, content + margins.top() + margins.bottom());
}

void RelatedWallpapersSection::startFetchIfNeeded()
{
    if (!key_ || started_)
        return;
    started_ = true;
    failed_ = false;
    const QPointer<RelatedWallpapersSection> self(this);
    launch([self, key = *key_] {
        return fetch(key, [self](QList<WallpaperModel> records, std::optional<QString> failure) {
            if (!self)
                return;
            if (failure)
                logLine(QStringLiteral("Failed to fetch related wallpapers: ") + *failure);
            self->finish(failure ? QList<WallpaperModel>() : std::move(records), failure.has_value());
        });
    }, QStringLiteral("FullScreenView"));
}

void RelatedWallpapersSection::finish(QList<WallpaperModel> wallpapers, bool failed)
{
    wallpapers_ = std::move(wallpapers);
    completed_ = true;
    failed_ = failed;
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : wallpapers_)
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
    states_->setCurrentIndex(wallpapers_.isEmpty() ? emptyPage : gridPage);
    updateGeometry();
    Q_EMIT contentChanged();
}
