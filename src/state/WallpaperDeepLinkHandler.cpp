#include "state/WallpaperDeepLinkHandler.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "state/AppStore.h"
#include "state/AssetHost.h"
#include "state/DeepLink.h"
#include "state/DeepLinkWallpaperService.h"
#include "state/GravelnookDeepLinkService.h"
#include "state/NotificationManager.h"
#include "state/SingleFlight.h"


namespace {
const QString kType = QStringLiteral("WallpaperDeepLinkHandler");

void logWarning(const QString& message) { logLine(QStringLiteral("⚠️"), kType, message); }
void logFailure(const QString& message) { logLine(QStringLiteral("❌"), kType, message); }
void logDone(const QString& message) { logLine(QStringLiteral("✅"), kType, message); }

// A link as it may be printed: line breaks, blanks and everything outside printable ASCII are
// percent-escaped (escapes already there stay as written), so a link never writes a line of its
// own into the log.
QString escaped(const QString& link)
{
    QByteArray text;
    for (const char byte : link.toUtf8()) {
        const auto code = static_cast<unsigned char>(byte);
        if (code > 0x20 && code < 0x7F)
            text.append(byte);
        else
            text.append('%').append(QByteArray::number(code, 16).toUpper().rightJustified(2, '0'));
    }
    return QString::fromLatin1(text);
}
} // namespace

WallpaperDeepLinkHandler::WallpaperDeepLinkHandler(QObject* parent)
    : WallpaperDeepLinkHandler(AppStore::shared(), APIService::shared(), DeepLinkWallpaperService::shared(),
          GravelnookDeepLinkService::shared(), NotificationManager::shared(), Delays::real(), parent)
{
}

WallpaperDeepLinkHandler::WallpaperDeepLinkHandler(AppStore& store, APIService& api,
    DeepLinkWallpaperService& wallpapers, GravelnookDeepLinkService& gravelnook, NotificationManager& toast, Delays delays,
    QObject* parent)
    : QObject(parent)
    , store_(store)
    , api_(api)
    , wallpapers_(wallpapers)
    , gravelnook_(gravelnook)
    , toast_(toast)
    , delays_(std::move(delays))
{
    // What the user opened in the app is newer than every link under way.
    connect(&wallpapers_, &DeepLinkWallpaperService::userOpened, this, [this] { supersedeOpenings(links_); });
}

WallpaperDeepLinkHandler& WallpaperDeepLinkHandler::shared() { return Shared<WallpaperDeepLinkHandler>::instance(); }

void WallpaperDeepLinkHandler::handle(const QString& link)
{
    const DeepLink parsed = DeepLink::parse(link);
    QPointer<WallpaperDeepLinkHandler> self(this);
    switch (parsed.kind) {
    case DeepLink::Kind::Ignored:
        return;
    case DeepLink::Kind::InvalidGravelnook:
        logWarning(QStringLiteral("Invalid gravelnook URL (missing id): ") + escaped(link));
        return;
    case DeepLink::Kind::InvalidWallpaper:
        logWarning(QStringLiteral("Invalid wallpaper URL: ") + escaped(link));
        return;
    case DeepLink::Kind::Gravelnook:
        postToMain([self, id = parsed.gravelnookId, link = ++links_] {
            if (self)
                self->openGravelnook(id, link);
        });
        return;
    case DeepLink::Kind::Wallpaper:
        if (wallpapers_.isShowingOrOpening(parsed.key)) {
            postToMain([self, key = parsed.key, link = ++links_] {
                if (self)
                    self->answerOpen(key, link);
            });
            return;
        }
        launch([self, key = parsed.key, link = ++links_] { return openWallpaper(self, key, link); }, kType);
        return;
    }
}

QCoro::Task<bool> WallpaperDeepLinkHandler::waitForState(QPointer<WallpaperDeepLinkHandler> handler)
{
    for (int attempt = 0; attempt < kReadyPollAttempts; ++attempt) {
        if (!handler || handler->store_.isInitialized())
            break;
        co_await handler->delays_.sleep(kReadyPollMs, std::stop_token());
    }
    co_return handler && handler->store_.isInitialized();
}

QCoro::Task<> WallpaperDeepLinkHandler::openWallpaper(QPointer<WallpaperDeepLinkHandler> handler, qint64 key, quint64 link)
{
    if (!handler)
        co_return;
    handler->beginOpening(link);
    co_await fetchAndDeliver(handler, key, link);
    if (handler)
        handler->endOpening(link);
}

QCoro::Task<> WallpaperDeepLinkHandler::fetchAndDeliver(QPointer<WallpaperDeepLinkHandler> handler, qint64 key, quint64 link)
{
    const quint64 userOpenings = handler->wallpapers_.userOpenings();
    std::shared_ptr<Fetch> shared = handler->fetches_.value(key);
    if (!shared) {
        shared = std::make_shared<Fetch>(handler);
        handler->fetches_.insert(key, shared);
    }
    const SingleFlight::Job job = [handler, key, shared] { return fetch(handler, key, shared); };
    co_await shared->gate->run(job);

    const QString keyText = QString::number(key);
    if (!shared->ready) {
        if (handler)
            logWarning(QStringLiteral("AppStore not initialized, cannot open wallpaper ") + keyText);
        co_return;
    }
    if (!shared->failure.isNull()) {
        logFailure(QStringLiteral("Failed to fetch wallpaper ") + keyText + QStringLiteral(": ") + shared->failure);
        co_return;
    }
    if (!handler)
        co_return;
    if (!shared->item) {
        logWarning(QStringLiteral("Wallpaper not found for key: ") + keyText);
        co_return;
    }
    handler->deliver(*shared->item, key, link, userOpenings);
}

QCoro::Task<> WallpaperDeepLinkHandler::fetch(QPointer<WallpaperDeepLinkHandler> handler, qint64 key, std::shared_ptr<Fetch> into)
{
    // A link that launched the application arrives before the first load has finished.
    into->ready = co_await waitForState(handler);
    // The handler may have gone while the application state loaded.
    if (into->ready && handler) {
        try {
            const QList<WallpaperResponseItem> items = co_await handler->api_.getWallpapersById(QList<qint64>(1, key));
            if (!items.isEmpty())
                into->item = items.first(); // any further items are ignored
        } catch (const std::exception& error) {
            into->failure = describeError(error);
        }
    }
    // A link that comes after this fetch has ended asks again.
    if (handler && handler->fetches_.value(key) == into)
        handler->fetches_.remove(key);
}

WallpaperDeepLinkHandler::Fetch::Fetch(QObject* owner) : gate(new SingleFlight(owner)) {}

// The last link lets go of the fetch; its gate may still be unwinding its signal.
WallpaperDeepLinkHandler::Fetch::~Fetch()
{
    if (gate)
        gate->deleteLater();
}

bool WallpaperDeepLinkHandler::mayOpen(quint64 link, const QString& target)
{
    if (link < shownLink_ && target != shownTarget_)
        return false;
    if (link > shownLink_) {
        shownLink_ = link;
        shownTarget_ = target;
    }
    return true;
}

void WallpaperDeepLinkHandler::deliver(const WallpaperResponseItem& item, qint64 requestedKey, quint64 link, quint64 userOpenings)
{
    const std::optional<qint64> shown = wallpapers_.shownKey();
    if (wallpapers_.userOpenings() != userOpenings && shown && *shown != requestedKey) {
        logLine(QStringLiteral("⏭️"), kType,
            QStringLiteral("Did not open wallpaper %1 from link: another wallpaper was opened meanwhile").arg(requestedKey));
        return;
    }
    if (!mayOpen(link, QStringLiteral("wallpaper/") + QString::number(requestedKey))) {
        logLine(QStringLiteral("⏭️"), kType,
            QStringLiteral("Did not open wallpaper %1 from link: a newer link was opened first").arg(requestedKey));
        return;
    }
    // The links that shared one fetch open the page once.
    if (!wallpapers_.isShowingOrOpening(requestedKey)) {
        const QString host = store_.baseUrl().value_or(AssetHost::fallback());
        const QString category = store_.categoryName(item.categoryId).value_or(QStringLiteral("Wallpaper"));
        wallpapers_.setPendingWallpaper(item.toWallpaperModel(host, category));
    }
    announceOpened(requestedKey, link);
}

void WallpaperDeepLinkHandler::announceOpened(qint64 key, quint64 link)
{
    supersedeOpenings(link);
    Q_EMIT mainWindowRequested();
    logDone(QStringLiteral("Opened wallpaper ") + QString::number(key) + QStringLiteral(" from link"));
}

void WallpaperDeepLinkHandler::openGravelnook(const QString& id, quint64 link)
{
    // Opened on the next turn, in the links' order: nothing newer can have been opened yet.
    mayOpen(link, QStringLiteral("gravelnook/") + id);
    supersedeOpenings(link);
    gravelnook_.setPendingId(id);
    Q_EMIT mainWindowRequested();
    // The id is decoded from the link: printed escaped like the link itself.
    logDone(QStringLiteral("Opened Gravelnook ") + escaped(id) + QStringLiteral(" from link"));
}

void WallpaperDeepLinkHandler::answerOpen(qint64 key, quint64 link)
{
    mayOpen(link, QStringLiteral("wallpaper/") + QString::number(key));
    announceOpened(key, link);
}

void WallpaperDeepLinkHandler::beginOpening(quint64 link)
{
    fetchingLinks_.insert(link);
    // Another toast (an apply's progress) keeps the panel: the link is only a moment.
    if (openingToast_ != 0 || toast_.isPresented())
        return;
    openingToast_ = toast_.show(QString(), openingMessage(), QImage(), 0, false);
}

void WallpaperDeepLinkHandler::endOpening(quint64 link)
{
    fetchingLinks_.erase(link);
    if (fetchingLinks_.empty())
        hideOpeningToast();
}

void WallpaperDeepLinkHandler::supersedeOpenings(quint64 opened)
{
    // Older links no longer open a page of their own: only a newer link's fetch is still opening.
    if (fetchingLinks_.empty() || *fetchingLinks_.rbegin() <= opened)
        hideOpeningToast();
}

void WallpaperDeepLinkHandler::hideOpeningToast()
{
    // Does nothing once another toast was shown over it.
    if (openingToast_ != 0)
        toast_.hide(std::exchange(openingToast_, 0), 0);
}
