#include "screens/detail/PartnerSiteView.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "ui/ScreenMessageView.h"
#include "screens/detail/PartnerSiteLoader.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/Spinner.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

PartnerSiteView::PartnerSiteView(QString id, FullScreenFactory fullScreen, QWidget* parent)
    : PartnerSiteView(std::move(id), std::move(fullScreen),
          std::make_shared<PartnerSiteLoader>(APIService::shared(), Http::shared(), MediaTools::shared()), parent)
{
}

PartnerSiteView::PartnerSiteView(QString id, FullScreenFactory fullScreen, std::shared_ptr<PartnerSiteLoader> loader,
    QWidget* parent)
    : QWidget(parent), id_(std::move(id)), factory_(std::move(fullScreen)), loader_(std::move(loader)), stack_(new QStackedLayout(this))
{
    setPalette(Theme::palette());
    stack_->addWidget(createLoading());
    stack_->addWidget(createFailure());
}

PartnerSiteView::~PartnerSiteView() { EscapeKeyFilter::shared().remove(this); }

QWidget* PartnerSiteView::createLoading()
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setSpacing(16);
    column->addStretch();
    column->addWidget(new Spinner(1.5, Qt::white, page), 0, Qt::AlignHCenter);
    auto* label = new TextLabel(tr("Loading wallpaper..."), Theme::font(Theme::TextStyle::Subheadline),
        Theme::withOpacity(Qt::white, 0.8), page);
    column->addWidget(label, 0, Qt::AlignHCenter);
    column->addStretch();
    return page;
}

QWidget* PartnerSiteView::createFailure()
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->addStretch();
    failure_ = new ScreenMessageView(page);
    goBack_ = failure_->actionButton();
    connect(failure_, &ScreenMessageView::actionClicked, this, &PartnerSiteView::closeRequested);
    column->addWidget(failure_);
    column->addStretch();
    return page;
}

void PartnerSiteView::appeared()
{
    AppearanceAware::tell(fullScreen_, true);
    // Once the full-screen view shows, Escape is its own.
    if (state_ != State::Showing)
        EscapeKeyFilter::shared().add(this, [this] { Q_EMIT closeRequested(); });
    if (started_)
        return;
    started_ = true;
    fireAndForget(load(this, loader_, id_), QStringLiteral("PartnerSiteView"));
}

QCoro::Task<> PartnerSiteView::load(QPointer<PartnerSiteView> self, std::shared_ptr<PartnerSiteLoader> loader, QString id)
{
    std::optional<WallpaperModel> loaded;
    QString failure;
    try {
        loaded = co_await loader->load(id);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (!self)
        co_return;
    if (loaded)
        self->showWallpaper(*loaded);
    else
        self->fail(failure);
}

void PartnerSiteView::disappeared()
{
    EscapeKeyFilter::shared().remove(this);
    AppearanceAware::tell(fullScreen_, false);
}

void PartnerSiteView::showWallpaper(const WallpaperModel& wallpaper)
{
    wallpaper_ = wallpaper;
    state_ = State::Showing;
    QPointer<PartnerSiteView> self(this);
    fullScreen_ = factory_(wallpaper, [self] {
        if (self)
            Q_EMIT self->closeRequested();
    });
    if (fullScreen_) {
        stack_->addWidget(fullScreen_);
        stack_->setCurrentWidget(fullScreen_);
        AppearanceAware::tell(fullScreen_, isVisible());
        // The full-screen view answers Escape from now on.
        EscapeKeyFilter::shared().remove(this);
    }
    Q_EMIT stateChanged();
}

void PartnerSiteView::fail(const QString& message)
{
    errorMessage_ = message;
    state_ = State::Failed;
    failure_->setMessage(ScreenMessageView::Message::failure(tr("Failed to load wallpaper"), message,
        tr("Go Back")));
    stack_->setCurrentIndex(1);
    Q_EMIT stateChanged();
}

void PartnerSiteView::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), Theme::appBackgroundColor()); }
