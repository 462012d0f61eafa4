#pragma once

#include "state/Delays.h"

#include "backend/WallpaperResponseItem.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <set>

class APIService;
class AppStore;
class DeepLinkWallpaperService;
class GravelnookDeepLinkService;
class NotificationManager;
class SingleFlight;

// Opens the links of the URL scheme: a catalogue wallpaper is fetched by its key (once the
// application state is ready, waiting up to about 5 s for it) and dropped into its inbox; a
// partner-site id goes to its inbox unchanged. Either then asks for the main window. Links of a
// key whose fetch is under way wait for that one instead of fetching again, and a link of the
// wallpaper already open (or on its way to the window) only asks for the window, so a flood of
// one link costs one request and one page. While a fetch runs, the in-app toast says a link is
// opening (unless another toast is up), until something newer opened. A link whose fetch ends
// after a newer link to something else was opened, or after the user opened another wallpaper
// in the app, is not opened over it. Every failure is only a log line. GUI thread; one shared
// instance kept until exit.
class WallpaperDeepLinkHandler : public QObject {
    Q_OBJECT

public:
    static constexpr int kReadyPollMs = 100;
    static constexpr int kReadyPollAttempts = 50;

    // The shared state, backend client, inboxes and toast, real timers.
    explicit WallpaperDeepLinkHandler(QObject* parent = nullptr);
    WallpaperDeepLinkHandler(AppStore& store, APIService& api, DeepLinkWallpaperService& wallpapers,
        GravelnookDeepLinkService& gravelnook, NotificationManager& toast, Delays delays, QObject* parent = nullptr);

    static WallpaperDeepLinkHandler& shared();

    static QString openingMessage() { return tr("Opening wallpaper..."); }

    // Classifies the link's text as received and, for a valid link, starts opening it on the
    // next turn of the event loop; returns at once.
    void handle(const QString& link);

Q_SIGNALS:
    // A link was opened: the application shell shows the main window (creating it when there is
    // none), de-minimises it and brings it to the front.
    void mainWindowRequested();

private:
    // One fetch of a key, shared by every link of that key that arrives while it runs.
    struct Fetch {
        explicit Fetch(QObject* owner);
        ~Fetch();
        Fetch(const Fetch&) = delete;
        Fetch& operator=(const Fetch&) = delete;

        QPointer<SingleFlight> gate;
        bool ready = false; // the application state was ready
        QString failure;    // the request's failure, when it failed
        std::optional<WallpaperResponseItem> item;
    };

    // Polls for the application state's first load, at most kReadyPollAttempts times; true once
    // it is ready. A link that launched the application arrives before that load has finished.
    static QCoro::Task<bool> waitForState(QPointer<WallpaperDeepLinkHandler> handler);
    static QCoro::Task<> openWallpaper(QPointer<WallpaperDeepLinkHandler> handler, qint64 key, quint64 link);
    static QCoro::Task<> fetchAndDeliver(QPointer<WallpaperDeepLinkHandler> handler, qint64 key, quint64 link);
    static QCoro::Task<> fetch(QPointer<WallpaperDeepLinkHandler> handler, qint64 key, std::shared_ptr<Fetch> into);
    // Drops the wallpaper into its inbox (unless it is already open) and asks for the main window;
    // `userOpenings` is the inbox's count when the link began.
    void deliver(const WallpaperResponseItem& item, qint64 requestedKey, quint64 link, quint64 userOpenings);
    // A link of the wallpaper already open: only the window is asked for.
    void answerOpen(qint64 key, quint64 link);
    void announceOpened(qint64 key, quint64 link);
    // The toast that a link is opening: up with the first fetching link, down after the last,
    // or as soon as something newer than every link still fetching was opened (a link, or a
    // wallpaper the user opened in the app).
    void beginOpening(quint64 link);
    void endOpening(quint64 link);
    void supersedeOpenings(quint64 opened);
    void hideOpeningToast();
    void openGravelnook(const QString& id, quint64 link);
    // Whether link number `link` to `target` may be opened now: not once a newer link to
    // something else was; it then counts as the one shown.
    bool mayOpen(quint64 link, const QString& target);

    AppStore& store_;
    APIService& api_;
    DeepLinkWallpaperService& wallpapers_;
    GravelnookDeepLinkService& gravelnook_;
    NotificationManager& toast_;
    const Delays delays_;
    // The fetches under way, by key.
    QHash<qint64, std::shared_ptr<Fetch>> fetches_;
    // Links are numbered as they arrive; the newest one opened, and what it opened.
    quint64 links_ = 0;
    quint64 shownLink_ = 0;
    QString shownTarget_;
    // The links whose fetch runs.
    std::set<quint64> fetchingLinks_;
    quint64 openingToast_ = 0;
};
