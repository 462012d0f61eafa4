#pragma once

#include "backend/CategoryItem.h"
#include "state/NotificationManager.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class APIService;
class CustomWallpapersService;
class Http;
class MediaTools;
class PendingUploadService;
class SignedUploadURLService;

// Sends a picked video to the community catalogue: a freshly reserved signed address and key,
// the metadata registered at the backend, the file streamed to the signed address with its
// progress in the toast, and a copy kept among the own wallpapers under the reserved key. Runs
// each submission to its end whoever started it, so a form closed meanwhile loses nothing; the
// form follows it through submissionProgress() and submissionFinished(). GUI thread; one shared instance.
class CommunityUploadService : public QObject {
    Q_OBJECT

public:
    struct Services {
        SignedUploadURLService& signedURLs;
        PendingUploadService& pending;
        APIService& api;
        Http& http;
        NotificationManager& toast;
        CustomWallpapersService& ownWallpapers;
        const MediaTools& media;
        std::function<QString()> deviceUUID;

        static Services shared();
    };

    explicit CommunityUploadService(QObject* parent = nullptr);
    CommunityUploadService(Services services, QObject* parent = nullptr);

    static CommunityUploadService& shared();

    // Starts a submission of the pending file when there is one and the title is not blank, and
    // returns its number; nothing happens (and none is returned) otherwise.
    std::optional<int> submit(const QString& title, const CategoryItem& category);

    // The signed key as a signed 64-bit decimal integer (an optional sign, digits only).
    static std::optional<qint64> parseWallpaperKey(const QString& text);

Q_SIGNALS:
    // The step a submission is at and how far it got (0 to 1), as the toast shows them.
    void submissionProgress(int submission, const QString& message, double progress);
    // Once per submission, success or not; `failure` is the error's text when it failed.
    void submissionFinished(int submission, bool succeeded, const QString& failure);

private:
    // `toast` names the toast the submission opened; its writes end once another one shows.
    QCoro::Task<> run(int submission, NotificationManager::Ticket toast, QString filePath, QString title, CategoryItem category);
    void step(int submission, NotificationManager::Ticket toast, const QString& message, double progress);

    Services services_;
    int lastSubmission_ = 0;
};
