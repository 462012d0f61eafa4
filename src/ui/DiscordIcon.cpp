#include "ui/DiscordIcon.h"

#include "foundation/Async.h"
#include "platform/Http.h"
#include "state/AppStore.h"
#include "state/AssetHost.h"
#include "ui/Spinner.h"
#include "ui/Symbols.h"

#include <QPainter>
#include <QPointer>

namespace {
// The icon's box inside the widget: lifted by two pixels.
const QRectF kIconBox(0, -2, DiscordIcon::kSide, DiscordIcon::kSide);

} // namespace

DiscordIcon::DiscordIcon(QWidget* parent) : DiscordIcon(defaultUrl(), Http::shared(), parent) {}

DiscordIcon::DiscordIcon(const QUrl& url, Http& http, QWidget* parent)
    : QWidget(parent), spinner_(new Spinner(0.5, Qt::white, this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
    spinner_->move((kSide - spinner_->width()) / 2, (kSide - spinner_->height()) / 2 - 2);
    fireAndForget(load(url, http, stop_.get_token()), QStringLiteral("DiscordIcon"));
}

QUrl DiscordIcon::defaultUrl()
{
    const QString host = AppStore::shared().baseUrl().value_or(AssetHost::fallback());
    return QUrl(QStringLiteral("https://") + host + QStringLiteral("/assets/discord.ico"));
}

DiscordIcon::~DiscordIcon() { stop_.request_stop(); }

QCoro::Task<> DiscordIcon::load(QUrl url, Http& http, std::stop_token stop)
{
    const QPointer<DiscordIcon> self(this);
    QImage icon;
    try {
        const HttpResponse response = co_await http.send(QNetworkRequest(url), "GET", {}, stop);
        if (response.isSuccess())
            icon = QImage::fromData(response.body);
    } catch (const std::exception&) {
        // Offline or refused: the stand-in symbol says enough.
    }
    // A stop comes from the destructor, while the widget is half gone.
    if (self && !stop.stop_requested())
        finish(icon);
}

QSize DiscordIcon::sizeHint() const { return {kSide, kSide}; }

void DiscordIcon::finish(const QImage& icon)
{
    icon_ = icon.isNull() ? QImage() : icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // The icon's shape, filled white: it is shown as a template.
    if (!icon_.isNull()) {
        QPainter painter(&icon_);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(icon_.rect(), Qt::white);
    }
    phase_ = icon_.isNull() ? Phase::Failed : Phase::Loaded;
    spinner_->hide();
    update();
    emit phaseChanged(phase_);
}

void DiscordIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    switch (phase_) {
    case Phase::Loading:
        break;
    case Phase::Loaded:
        painter.drawImage(kIconBox, icon_);
        break;
    case Phase::Failed:
        Symbols::paint(painter, kIconBox, QStringLiteral("link"), Qt::white);
        break;
    }
}
