#pragma once

#include "backend/CategoryItem.h"
#include "model/WallpaperModel.h"

#include <QWidget>

#include <optional>

class AppStore;
class CommunityUploadService;
class CustomWallpaperFormFootBar;
class PendingUploadService;

// What the full-screen view lays over a video picked for the community, in place of its foot
// bar: the upload form with the title, category and flags it needs, wired to the upload
// service, whose progress and failures it shows. "back" and "Cancel" drop the pending file and ask to close; an upload that is still
// running then goes on in the service, and this form stops following it. GUI thread.
class CommunityUploadForm : public QWidget {
    Q_OBJECT

public:
    // `wallpaper` is the candidate record; its title starts the form's title.
    CommunityUploadForm(const WallpaperModel& wallpaper, AppStore& appStore, PendingUploadService& pending,
        CommunityUploadService& uploads, QWidget* parent = nullptr);
    // The shared services.
    explicit CommunityUploadForm(const WallpaperModel& wallpaper, QWidget* parent = nullptr);

    // A record the own-wallpapers screen hands over for upload: an own video ("Custom") without a
    // catalogue key.
    static bool isUploadCandidate(const WallpaperModel& wallpaper);

    CustomWallpaperFormFootBar* footBar() const { return bar_; }
    bool isSubmitting() const { return submitting_; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // The form was left; the full-screen view closes.
    void closeRequested();
    // The card changed its height (submitting, done): the host places it anew.
    void sizeHintChanged();

private:
    void leave();
    void submit();
    void finished(int submission, bool succeeded, const QString& failure);
    void setFlags(bool submitting, bool successful);

    AppStore& appStore_;
    PendingUploadService& pending_;
    CommunityUploadService& uploads_;
    CustomWallpaperFormFootBar* bar_;
    QString title_;
    std::optional<CategoryItem> category_;
    std::optional<int> submission_;
    bool submitting_ = false;
};
