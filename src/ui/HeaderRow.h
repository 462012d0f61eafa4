#pragma once

#include "ui/AnimatedValue.h"

#include <QWidget>

class AppLogo;
class HeaderBackdrop;
class HomePageService;
class QGraphicsOpacityEffect;
class TopNavigationBar;

// The row along the top of the main window, laid over the pages: the logo at the left, the tab
// bar at the horizontal centre and the given trailing controls filling the width right of it. It keeps itself as
// wide as its parent and at the top. While the Home section is selected and the home page still
// shows its loading screen the row is away: it fades out moving up past the top edge and comes
// back the same way. Under it lies its backdrop, which darkens the strip once content scrolls
// under the row. GUI thread; a child of the view it covers.
class HeaderRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSidePadding = 52;
    static constexpr int kSpacing = 8;
    // The row's top edge while shown.
    static constexpr int kTop = 3;

    // `trailing` (may be null) and the row itself become children; the parent must exist.
    HeaderRow(HomePageService& homePage, QWidget* trailing, QWidget* parent);

    TopNavigationBar* navigationBar() const { return bar_; }
    AppLogo* logo() const { return logo_; }
    // Whether the row is meant to be on screen; the move may still be under way.
    bool isWanted() const { return wanted_; }
    // 0 away, 1 in place.
    qreal presentation() const { return presentation_.value(); }
    // The move itself, to be held at a point of its way.
    AnimatedValue& presentationMove() { return presentation_; }
    HeaderBackdrop* backdrop() const { return backdrop_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow();
    void place();

    HomePageService& homePage_;
    AppLogo* logo_;
    TopNavigationBar* bar_;
    QWidget* trailing_;
    QGraphicsOpacityEffect* fade_;
    HeaderBackdrop* backdrop_;
    AnimatedValue presentation_;
    bool wanted_ = true;
};
