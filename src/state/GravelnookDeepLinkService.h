#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The inbox of partner-site wallpaper ids that links asked to open: holds the one the root view
// has not taken yet. The root view takes it and sets it back to nothing. GUI thread; one shared
// instance kept until exit.
class GravelnookDeepLinkService : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> pendingId READ pendingId WRITE setPendingIdNow NOTIFY pendingIdChanged)

public:
    explicit GravelnookDeepLinkService(QObject* parent = nullptr) : QObject(parent) {}

    static GravelnookDeepLinkService& shared();

    const std::optional<QString>& pendingId() const { return pendingId_; }
    // Posts the assignment to a later turn of the event loop, after the caller's current work.
    void setPendingId(QString id);
    // Assigns at once: the root view taking (clearing) the value.
    void setPendingIdNow(std::optional<QString> id);

Q_SIGNALS:
    void pendingIdChanged();

private:
    std::optional<QString> pendingId_;
};
