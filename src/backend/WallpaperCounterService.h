#pragma once

#include <QCoro/QCoroTask>
#include <QObject>

class APIService;

// Tells the catalogue backend that a wallpaper was applied or liked, so its figures grow.
// Callers start a bump in a task of their own and never learn its outcome: every result ends in
// a log line. One shared instance on the GUI thread, over the shared backend client.
class WallpaperCounterService : public QObject {
    Q_OBJECT
public:
    explicit WallpaperCounterService(QObject* parent = nullptr);
    explicit WallpaperCounterService(APIService& api, QObject* parent = nullptr);

    static WallpaperCounterService& shared();

    // Never throw. Every bump reaches the backend: counter requests are never answered from the
    // response cache.
    QCoro::Task<> incrementDownloads(qint64 key);
    QCoro::Task<> incrementLikes(qint64 key);

private:
    QCoro::Task<> incrementCounter(qint64 key, bool isDownload);

    APIService& apiService_;
};
