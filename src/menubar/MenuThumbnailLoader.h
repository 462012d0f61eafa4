#pragma once

#include <QCoro/QCoroTask>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class QAction;
class ThumbnailMenuItemView;

// Fills the tray menu's thumbnail row with the picture of the wallpaper on the desktop: a frame
// of its video, its catalogue poster (from the poster cache, else fetched and written back), or
// the cached poster alone. Every load ends by showing a picture or hiding the row. Each load
// carries a generation number: only the newest load may change the row, so a slow load for an
// earlier wallpaper never replaces the current one's picture. Logs nothing. GUI thread; owned by
// the menu-bar manager.
class MenuThumbnailLoader : public QObject {
    Q_OBJECT

public:
    // The video frame shown, and how large it is decoded at most (twice the row, for sharp
    // pictures on doubled-density screens).
    static constexpr double kFrameSeconds = 2.0;
    static constexpr QSize kFrameBounds{480, 270};

    MenuThumbnailLoader(QAction* item, ThumbnailMenuItemView* view, QObject* parent = nullptr);

    // "<Caches>/Quorvelle/images/posters/<key>.webp", holding the bytes the poster address gave;
    // nothing without a Caches folder. Creates nothing.
    static std::optional<QString> posterCachePath(qint64 key);

    // Each starts a new generation; the earlier loads still run but change nothing.
    void loadVideoFrame(QUrl videoUrl);
    void loadPoster(qint64 key, QString posterUrlText);
    void loadCachedPoster(qint64 key);
    // Hides the row and ends every running load's say.
    void hide();

    quint64 generation() const { return generation_; }

Q_SIGNALS:
    // A load has ended: it showed its picture, hid the row, or (overtaken by a newer load) left
    // the row alone.
    void loadEnded(quint64 generation);

private:
    static QCoro::Task<> videoFrame(QPointer<MenuThumbnailLoader> self, quint64 generation, QUrl videoUrl);
    static QCoro::Task<> poster(QPointer<MenuThumbnailLoader> self, quint64 generation, qint64 key, QString posterUrlText);
    static QImage cachedPoster(qint64 key);
    // One line for a picture that did not come, so a blank row is never unexplained.
    static void logFailure(const QString& source, const QString& why);
    static void writePosterCache(qint64 key, const QByteArray& bytes);

    quint64 nextGeneration() { return ++generation_; }
    bool isCurrent(quint64 generation) const { return generation == generation_; }
    // Each ends the load of `generation`.
    void show(quint64 generation, QImage image);
    void hide(quint64 generation);

    QPointer<QAction> item_;
    QPointer<ThumbnailMenuItemView> view_;
    quint64 generation_ = 0;
};
