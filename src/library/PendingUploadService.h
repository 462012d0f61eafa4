#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The video picked for a community upload, handed from the own-wallpapers screen to the upload
// form of the full-screen view: set just before the form opens, cleared when the form is left
// and after a successful upload; a failed upload keeps it. GUI thread; one shared instance.
class PendingUploadService : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> pendingFilePath READ pendingFilePath WRITE setPendingFilePath NOTIFY pendingFilePathChanged)

public:
    using QObject::QObject;
    static PendingUploadService& shared();

    const std::optional<QString>& pendingFilePath() const { return pendingFilePath_; }
    void setPendingFilePath(std::optional<QString> path);

Q_SIGNALS:
    void pendingFilePathChanged();

private:
    std::optional<QString> pendingFilePath_;
};
