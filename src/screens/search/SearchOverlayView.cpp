#include "screens/search/SearchOverlayView.h"

#include "foundation/Log.h"
#include "foundation/Text.h"
#include "ui/ScreenMessageView.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayService.h"
#include "ui/BrowseContext.h"
#include "ui/DarkAppearance.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/GlassBackground.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
const QColor kDim(0, 0, 0, qRound(0.65 * 255));
constexpr int kColumns = 3;
constexpr int kColumnSpacing = 24;
constexpr int kRowSpacing = 20;
// A long query is quoted by its start: the rest would only push the message off the screen.
constexpr qsizetype kQuotedQueryLength = 40;
constexpr qreal kMessageCornerRadius = 20;
constexpr int kMessagePadding = 28;
} // namespace

SearchOverlayView::SearchOverlayView(SearchOverlayService& service, BrowseContext* context, APIService& api, AppStore& store,
    QWidget* parent)
    : QWidget(parent), service_(service), context_(context), scroll_(new QScrollArea(this)),
      box_(new SearchOverlaySearchBox(api, this))
{
    search_ = new DebouncedSearch([&service] { return service.searchQuery(); }, api, store, this);
    setAttribute(Qt::WA_TranslucentBackground);

    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The style's own bar, arrows and all, would run down the dimmed window.
    DarkAppearance::applyToScrollBars(scroll_);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(createResults());
    content_->setAutoFillBackground(false);
    messagePanel_ = createMessagePanel();

    // The kept query shows, but only an edit starts a search.
    box_->setInitialText(service.searchQuery());
    box_->raise();
    // A press on the box's own padding is not a press outside it.
    box_->setAttribute(Qt::WA_NoMousePropagation);
    box_->installEventFilter(this);
    connect(box_, &SearchOverlaySearchBox::textChanged, &service_, &SearchOverlayService::setSearchQuery);
    connect(&service_, &SearchOverlayService::searchQueryChanged, this, [this](const QString& query) {
        if (box_->text() != query)
            box_->setInitialText(query);
        search_->queryChanged();
    });
    connect(search_, &DebouncedSearch::isLoadingChanged, box_, &SearchOverlaySearchBox::setLoading);
    connect(search_, &DebouncedSearch::resultsChanged, this, &SearchOverlayView::showResults);
    connect(search_, &DebouncedSearch::outcomeChanged, this, &SearchOverlayView::showOutcome);
}

SearchOverlayView::~SearchOverlayView() { EscapeKeyFilter::shared().remove(this); }

QWidget* SearchOverlayView::createResults()
{
    content_ = new QWidget;
    content_->installEventFilter(this);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(kGridSideMargin, 0, kGridSideMargin, kGridBottomMargin);
    column->setSpacing(0);
    topSpacer_ = new QSpacerItem(0, topInset_, QSizePolicy::Minimum, QSizePolicy::Fixed);
    column->addItem(topSpacer_);

    grid_ = new LazyGridView(LazyGridView::Orientation::Vertical, content_);
    grid_->setColumns(kColumns);
    grid_->setSpacing(kColumnSpacing, kRowSpacing);
    grid_->installEventFilter(this);
    grid_->setCellFactory([this](int index) -> QWidget* {
        const WallpaperModel wallpaper = search_->results().at(index);
        PosterCardView::Options options;
        options.lightPlaceholderWhileLoading = true;
        options.suppressCardTap = true;
        auto* card = new PosterCardView(wallpaper, options, context_);
        connect(card, &PosterCardView::clicked, this, [this, wallpaper] { selectResult(wallpaper); });
        return card;
    });
    column->addWidget(grid_);
    column->addStretch(1);
    return content_;
}

QWidget* SearchOverlayView::createMessagePanel()
{
    // On the search's own material, solid, so the message is never drawn over the dimmed page
    // beneath (a button there would read as part of it).
    auto* panel = new GlassBackground(kMessageCornerRadius, this);
    panel->setSolid(true);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, kMessagePadding, 0, kMessagePadding);
    message_ = new ScreenMessageView(panel);
    column->addWidget(message_);
    // Trying again is searching the same query again.
    connect(message_, &ScreenMessageView::actionClicked, search_, &DebouncedSearch::queryChanged);
    // A press on the search's own area is not a press outside it.
    panel->setAttribute(Qt::WA_NoMousePropagation);
    panel->installEventFilter(this);
    panel->hide();
    return panel;
}

void SearchOverlayView::showResults()
{
    QList<QUuid> keys;
    for (const WallpaperModel& wallpaper : search_->results())
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
    applyInset();
}

void SearchOverlayView::showOutcome()
{
    switch (search_->outcome()) {
    case DebouncedSearch::Outcome::NoResults:
        message_->setMessage(ScreenMessageView::Message::empty(QStringLiteral("magnifyingglass"),
            tr("No wallpapers found"),
            tr("Nothing matches \u201c%1\u201d. Try other words.").arg(Text::truncated(search_->answeredQuery(), kQuotedQueryLength, QStringLiteral("\u2026")))));
        break;
    case DebouncedSearch::Outcome::Failed:
        message_->setMessage(
            ScreenMessageView::Message::failure(tr("Search failed"), search_->failure(), tr("Try Again")));
        break;
    case DebouncedSearch::Outcome::Idle:
    case DebouncedSearch::Outcome::Found:
        messagePanel_->hide();
        return;
    }
    messagePanel_->show();
    messagePanel_->raise();
    layoutChrome();
}

void SearchOverlayView::dismiss() { service_.hide(); }

void SearchOverlayView::cancel()
{
    service_.setSearchQuery(QString());
    dismiss();
}

void SearchOverlayView::closeOverlay()
{
    search_->reset();
    topInset_ = kInitialTopInset;
    applyInset();
    logLine(QStringLiteral("🔎"), QStringLiteral("SearchOverlay"), QStringLiteral("Closed — cancelled tasks and cleared results"));
}

void SearchOverlayView::selectResult(const WallpaperModel& wallpaper)
{
    if (context_)
        context_->openWallpaper(wallpaper);
}

void SearchOverlayView::updateChromeInset(int chromeHeight)
{
    if (chromeHeight <= 0 || chromeHeight + kSearchToGridSpacing == topInset_)
        return;
    topInset_ = chromeHeight + kSearchToGridSpacing;
    applyInset();
}

int SearchOverlayView::availableResultsHeight() const
{
    const int left = height() - topInset_;
    return search_->results().isEmpty() ? std::max(left, 0) : std::max(left, kMinimumResultsHeight);
}

void SearchOverlayView::applyInset()
{
    topSpacer_->changeSize(0, topInset_, QSizePolicy::Minimum, QSizePolicy::Fixed);
    // The backdrop below the inset reaches at least the bottom of the overlay.
    content_->setMinimumHeight(topInset_ + availableResultsHeight());
    content_->layout()->invalidate();
}

void SearchOverlayView::layoutChrome()
{
    scroll_->setGeometry(rect());
    const int width = std::min(SearchOverlaySearchBox::kMaxWidth, std::max(0, this->width() - 2 * kChromeSideMargin));
    const int height = box_->hasHeightForWidth() ? box_->heightForWidth(width) : box_->sizeHint().height();
    box_->setGeometry((this->width() - width) / 2, kSearchBarTopPadding, width, height);
    const int panelHeight = messagePanel_->layout()->totalHeightForWidth(width);
    messagePanel_->setGeometry(box_->x(), box_->geometry().bottom() + 1 + kMessageGap, width, panelHeight);
    updateChromeInset(kSearchBarTopPadding + height);
    applyInset();
}

void SearchOverlayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kDim);
}

void SearchOverlayView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChrome();
}

void SearchOverlayView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    layoutChrome();
    EscapeKeyFilter::shared().add(this, [this] { cancel(); });
    box_->setFocusToken(++focusToken_);
}

void SearchOverlayView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    EscapeKeyFilter::shared().remove(this);
}

void SearchOverlayView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    dismiss();
}

bool SearchOverlayView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == box_ || watched == messagePanel_) && event->type() == QEvent::LayoutRequest)
        layoutChrome();
    // Presses that no card took: the space above the results, the backdrop, the gaps of the grid.
    if ((watched == content_ || watched == grid_) && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        dismiss();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
