#include "screens/browse/LoadingScreenView.h"
#include "backend/APIError.h"
#include "screens/browse/ProgressBarView.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "ui/LabelButton.h"
#include "ui/Theme.h"
#include "ui/TranslucentBackground.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kBarHeight = 3;
constexpr int kBarBottom = 10;
constexpr int kStatusSpacing = 12;
constexpr int kFailureSpacing = 8;

QFont nameFont() { return Theme::systemFont(28, QFont::Bold); }
QFont taglineFont() { return Theme::systemFont(14); }
QFont statusFont(bool failure) { return Theme::systemFont(13, failure ? QFont::Medium : QFont::Normal); }

LabelButton::Look retryLook()
{
    LabelButton::Look look;
    look.font = Theme::systemFont(12, QFont::Medium);
    look.fill = Theme::withOpacity(Qt::white, 0.12);
    look.hoverFill = Theme::withOpacity(Qt::white, 0.18);
    look.cornerRadius = 6;
    look.horizontalPadding = 20;
    look.verticalPadding = 5;
    return look;
}
} // namespace

double LoadingScreenView::targetProgress(const Parts& parts)
{
    if (parts.ready)
        return 1.0;
    if (parts.connectionFailed)
        return 0.0;
    const double sum = (parts.platformStats ? 0.3 : 0) + (parts.homeFeedLoaded ? 0.3 : 0) + (parts.categories ? 0.2 : 0)
        + (parts.popular ? 0.2 : 0);
    return std::min(sum, 1.0);
}

LoadingScreenView::LoadingScreenView(AppStore& appStore, HomePageService& homePage, QWidget* parent)
    : QWidget(parent), appStore_(appStore), homePage_(homePage), bar_(new ProgressBarView(this)),
      retry_(new LabelButton(tr("Retry"), retryLook(), this))
{
    // It covers the home feed while that is built beneath it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(retry_, &LabelButton::clicked, this, &LoadingScreenView::retryRequested);
    for (auto changed : {&AppStore::connectionFailedChanged, &AppStore::platformStatsChanged, &AppStore::categoriesChanged})
        connect(&appStore_, changed, this, &LoadingScreenView::refresh);
    for (auto changed : {&HomePageService::isLoadedChanged, &HomePageService::popularWallpapersChanged})
        connect(&homePage_, changed, this, &LoadingScreenView::refresh);
    refresh();
}

void LoadingScreenView::setShowReadyMessage(bool ready)
{
    ready_ = ready;
    refresh();
}

void LoadingScreenView::setLoadingMessage(const QString& message)
{
    message_ = message;
    update();
}

void LoadingScreenView::setLoadFailed(bool failed, bool unreadableReply)
{
    loadFailed_ = failed;
    unreadableReply_ = failed && unreadableReply;
    refresh();
}

bool LoadingScreenView::showsFailure() const { return appStore_.connectionFailed() || loadFailed_; }

QString LoadingScreenView::statusText() const
{
    if (showsFailure()) {
        const bool unreadable = appStore_.connectionFailed() ? APIError::isUnreadableReply(appStore_.platformStatsError())
                                                             : unreadableReply_;
        return unreadable ? tr("The catalogue's reply could not be read") : tr("Unable to connect to internet");
    }
    return ready_ ? tr("Ready to go!") : message_;
}

void LoadingScreenView::refresh()
{
    bar_->setProgress(targetProgress({ready_, appStore_.connectionFailed(), appStore_.platformStats().has_value(),
        homePage_.isLoaded(), !appStore_.categories().isEmpty(), !homePage_.popularWallpapers().isEmpty()}));
    retry_->setVisible(showsFailure());
    resizeEvent(nullptr);
    update();
}

QSize LoadingScreenView::sizeHint() const { return {1280, 800}; }

QRect LoadingScreenView::statusRect() const
{
    const int barTop = height() - kBarBottom - kBarHeight;
    const int lineHeight = QFontMetrics(statusFont(showsFailure())).height();
    const int retryHeight = showsFailure() ? kFailureSpacing + retry_->sizeHint().height() : 0;
    return QRect(0, barTop - kStatusSpacing - retryHeight - lineHeight, width(), lineHeight);
}

void LoadingScreenView::resizeEvent(QResizeEvent*)
{
    const int barWidth = int(std::min(0.2 * width(), 200.0));
    bar_->setGeometry((width() - barWidth) / 2, height() - kBarBottom - kBarHeight, barWidth, kBarHeight);
    const QSize retry = retry_->sizeHint();
    retry_->setGeometry((width() - retry.width()) / 2, statusRect().bottom() + 1 + kFailureSpacing, retry.width(), retry.height());
}

void LoadingScreenView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    TranslucentBackground::paint(painter, event->region());
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFontMetrics name(nameFont());
    const QFontMetrics tagline(taglineFont());
    const int top = (height() - (name.height() + 6 + tagline.height())) / 2;
    painter.setFont(nameFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.85));
    painter.drawText(QRect(0, top, width(), name.height()), Qt::AlignCenter, QStringLiteral("Quorvelle"));
    painter.setFont(taglineFont());
    painter.setPen(Theme::withOpacity(Qt::white, 0.45));
    painter.drawText(QRect(0, top + name.height() + 6, width(), tagline.height()), Qt::AlignCenter,
        tr("Something beautiful, every time you unlock"));
    const bool failure = showsFailure();
    painter.setFont(statusFont(failure));
    painter.setPen(Theme::withOpacity(Qt::white, 0.5));
    painter.drawText(statusRect(), Qt::AlignCenter | Qt::TextSingleLine, statusText());
}
