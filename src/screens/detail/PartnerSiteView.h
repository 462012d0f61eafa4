#pragma once

#include "model/WallpaperModel.h"
#include "ui/AppearanceAware.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class PartnerSiteLoader;
class QStackedLayout;
class LabelButton;
class ScreenMessageView;

// The page a partner-site link opens: "Loading wallpaper..." while the wallpaper is looked up,
// then the ordinary full-screen view of it, or "Failed to load wallpaper" with the reason and
// "Go Back". Escape, "Go Back" and the full-screen view's own closing ask the presenter to close
// it through closeRequested(). GUI thread; pushed by the root view.
class PartnerSiteView : public QWidget, public AppearanceAware {
    Q_OBJECT

public:
    // Builds the full-screen view of the loaded record; `close` closes this page.
    using FullScreenFactory = std::function<QWidget*(const WallpaperModel& wallpaper, std::function<void()> close)>;
    enum class State { Loading, Failed, Showing };

    // The shared backend client, transfer stack and media tools.
    PartnerSiteView(QString id, FullScreenFactory fullScreen, QWidget* parent = nullptr);
    PartnerSiteView(QString id, FullScreenFactory fullScreen, std::shared_ptr<PartnerSiteLoader> loader,
        QWidget* parent = nullptr);
    ~PartnerSiteView() override;

    const QString& partnerId() const { return id_; }
    State state() const { return state_; }
    const QString& errorMessage() const { return errorMessage_; }
    const std::optional<WallpaperModel>& wallpaper() const { return wallpaper_; }
    QWidget* fullScreenView() const { return fullScreen_; }
    LabelButton* goBackButton() const { return goBack_; }

    // Starts the lookup unless one ran or runs already, and answers Escape while shown.
    void appeared() override;
    void disappeared() override;

Q_SIGNALS:
    void closeRequested();
    void stateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* createLoading();
    QWidget* createFailure();
    static QCoro::Task<> load(QPointer<PartnerSiteView> self, std::shared_ptr<PartnerSiteLoader> loader, QString id);
    void showWallpaper(const WallpaperModel& wallpaper);
    void fail(const QString& message);

    QString id_;
    FullScreenFactory factory_;
    std::shared_ptr<PartnerSiteLoader> loader_;
    QStackedLayout* stack_;
    ScreenMessageView* failure_ = nullptr;
    LabelButton* goBack_ = nullptr;
    QPointer<QWidget> fullScreen_;
    State state_ = State::Loading;
    bool started_ = false;
    QString errorMessage_;
    std::optional<WallpaperModel> wallpaper_;
};
