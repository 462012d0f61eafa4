#pragma once

#include <QWidget>

class AppStore;
class HomePageService;
class LabelButton;
class ProgressBarView;

// The start-up screen of the home page: the product name and tag line in the middle, and at the
// bottom a status line over a thin bar that tracks how much of the catalogue state has arrived.
// The status is the home page's message, "Ready to go!" for the ready moment, or, when the
// connection failed, "Unable to connect to internet" with a Retry button (or, when the backend
// answered with a reply that cannot be read, a line that says so). Holds no logic beyond
// the bar's target; the home page decides when it goes. GUI thread.
class LoadingScreenView : public QWidget {
    Q_OBJECT

public:
    struct Parts {
        bool ready = false;
        bool connectionFailed = false;
        bool platformStats = false;
        bool homeFeedLoaded = false;
        bool categories = false;
        bool popular = false;
    };
    // Where the bar heads: all of it for the ready moment, nothing after a failed connection,
    // else 0.3 for the statistics, 0.3 for the feed, 0.2 for categories, 0.2 for popular.
    static double targetProgress(const Parts& parts);

    LoadingScreenView(AppStore& appStore, HomePageService& homePage, QWidget* parent = nullptr);

    void setShowReadyMessage(bool ready);
    void setLoadingMessage(const QString& message);
    // The failure state for a failure the application state does not know of (the popular list).
    // `unreadableReply`: the backend answered with something that cannot be read, which is no
    // lost connection and is not shown as one.
    void setLoadFailed(bool failed, bool unreadableReply = false);
    bool showsFailure() const;
    QString statusText() const;
    LabelButton* retryButton() const { return retry_; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void retryRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    QRect statusRect() const;

    AppStore& appStore_;
    HomePageService& homePage_;
    bool ready_ = false;
    bool loadFailed_ = false;
    bool unreadableReply_ = false;
    QString message_;
    ProgressBarView* bar_;
    LabelButton* retry_;
};
