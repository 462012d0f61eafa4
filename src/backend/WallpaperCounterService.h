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
    // Over the shared backend client of the moment each bump starts: made while another stands
    // in for it, this never keeps that one past its end.
    explicit WallpaperCounterService(QObject* parent = nullptr);
    explicit WallpaperCounterService(APIService& api, QObject* parent = nullptr);

    static WallpaperCounterService& shared();

    // Never throw. Every bump reaches the backend: counter requests are never answered from the
    // response cache.
    QCoro::Task<> incrementDownloads(qint64 key);
    QCoro::Task<> incrementLikes(qint64 key);

private:
    QCoro::Task<> incrementCounter(qint64 key, bool isDownload);
    APIService& api() const;

    APIService* const api_; // null: the shared one
};
