#pragma once

#include "ui/AnimatedValue.h"

#include <QPointer>
#include <QWidget>

class APIService;
class AppStore;
class BrowseContext;
class QGraphicsOpacityEffect;
class SearchOverlayService;
class SearchOverlayView;

// The layer of the main window that holds the search overlay: it covers the whole window, in
// front of the other layers, and shows a freshly made overlay while the service says it is
// presented, fading it in and out over 0.15 s. While nothing is presented it is hidden, so
// clicks reach the window beneath. GUI thread; covers whichever widget is its parent.
class SearchOverlayHost : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFadeMs = 150;

    // The shared backend client and application state.
    SearchOverlayHost(SearchOverlayService& service, BrowseContext* context, QWidget* parent = nullptr);
    SearchOverlayHost(SearchOverlayService& service, BrowseContext* context, APIService& api, AppStore& store,
        QWidget* parent = nullptr);
    ~SearchOverlayHost() override;

    // The overlay on screen, or null (also while the last one fades out).
    SearchOverlayView* view() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow(bool presented);
    void fade(double to);
    void fadeFinished();
    void cover();

    SearchOverlayService& service_;
    QPointer<BrowseContext> context_;
    APIService& api_;
    AppStore& store_;
    QPointer<SearchOverlayView> view_;
    QPointer<SearchOverlayView> leaving_;
    QGraphicsOpacityEffect* effect_ = nullptr;
    AnimatedValue opacity_;
};
