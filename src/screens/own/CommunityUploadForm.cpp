#include "screens/own/CommunityUploadForm.h"

#include "library/CommunityUploadService.h"
#include "library/PendingUploadService.h"
#include "screens/own/CustomWallpaperFormFootBar.h"
#include "state/AppStore.h"

#include <QVBoxLayout>

CommunityUploadForm::CommunityUploadForm(const WallpaperModel& wallpaper, QWidget* parent)
    : CommunityUploadForm(wallpaper, AppStore::shared(), PendingUploadService::shared(), CommunityUploadService::shared(), parent)
{
}

CommunityUploadForm::CommunityUploadForm(const WallpaperModel& wallpaper, AppStore& appStore, PendingUploadService& pending,
    CommunityUploadService& uploads, QWidget* parent)
    : QWidget(parent)
    , appStore_(appStore)
    , pending_(pending)
    , uploads_(uploads)
    , bar_(new CustomWallpaperFormFootBar(wallpaper, appStore.categories(), this))
    , title_(wallpaper.title)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(bar_);
    bar_->setTitle(title_);
    connect(&appStore_, &AppStore::categoriesChanged, bar_, [this] { bar_->setCategories(appStore_.categories()); });
    connect(bar_, &CustomWallpaperFormFootBar::titleEdited, this, [this](const QString& title) { title_ = title; });
    connect(bar_, &CustomWallpaperFormFootBar::categoryChosen, this, [this](const CategoryItem& category) { category_ = category; });
    connect(bar_, &CustomWallpaperFormFootBar::backClicked, this, &CommunityUploadForm::leave);
    connect(bar_, &CustomWallpaperFormFootBar::cancelClicked, this, &CommunityUploadForm::leave);
    connect(bar_, &CustomWallpaperFormFootBar::submitClicked, this, &CommunityUploadForm::submit);
    connect(&uploads_, &CommunityUploadService::submissionProgress, this,
        [this](int submission, const QString& message, double progress) {
            if (submission == submission_)
                bar_->setProgress(message, progress);
        });
    connect(&uploads_, &CommunityUploadService::submissionFinished, this, &CommunityUploadForm::finished);
    connect(bar_, &CustomWallpaperFormFootBar::heightChanged, this, [this] {
        updateGeometry();
        adjustSize();
        Q_EMIT sizeHintChanged();
    });
}

bool CommunityUploadForm::isUploadCandidate(const WallpaperModel& wallpaper)
{
    return wallpaper.category == QLatin1String("Custom") && !wallpaper.key;
}

QSize CommunityUploadForm::sizeHint() const { return bar_->sizeHint(); }

void CommunityUploadForm::leave()
{
    pending_.setPendingFilePath(std::nullopt);
    Q_EMIT closeRequested();
}

void CommunityUploadForm::submit()
{
    if (!category_ || submitting_)
        return;
    bar_->setFailure(QString());
    submission_ = uploads_.submit(title_, *category_);
    if (submission_)
        setFlags(true, false);
}

void CommunityUploadForm::finished(int submission, bool succeeded, const QString& failure)
{
    if (submission != submission_)
        return;
    submission_.reset();
    // The title and the category stay as they were: the user tries again with one click.
    if (!succeeded)
        bar_->setFailure(tr("Upload failed: ") + failure);
    setFlags(false, succeeded);
}

void CommunityUploadForm::setFlags(bool submitting, bool successful)
{
    submitting_ = submitting;
    bar_->setSubmitting(submitting);
    bar_->setSubmissionSuccessful(successful);
}
