#pragma once

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class APIService;

// The review status of this installation's community uploads, by wallpaper key, as the backend
// last reported it: replaced whole by each successful fetch, kept when a fetch fails, emptied by
// clear(). One fetch at a time; a second one asked for meanwhile returns at once. Owned by the
// own-wallpapers screen; GUI thread.
class UploadStatuses : public QObject {
    Q_OBJECT

public:
    // `listedKeys` gives the own wallpapers' keys for the log line after a fetch.
    UploadStatuses(APIService& api, std::function<QString()> deviceUUID, std::function<QList<qint64>()> listedKeys,
        QObject* parent = nullptr);

    const QHash<qint64, QString>& statuses() const { return statuses_; }
    bool isLoading() const { return loading_; }

    // Never throws; failures end in a log line.
    QCoro::Task<> fetch();
    void clear();

Q_SIGNALS:
    void statusesChanged();
    void isLoadingChanged();

private:
    void setLoading(bool loading);

    APIService& api_;
    std::function<QString()> deviceUUID_;
    std::function<QList<qint64>()> listedKeys_;
    QHash<qint64, QString> statuses_;
    bool loading_ = false;
};
