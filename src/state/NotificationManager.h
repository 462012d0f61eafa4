#pragma once

#include "state/Delays.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The one in-app toast through which long operations report: title, status message, optional
// thumbnail and optional progress bar, and whether it is on screen. Draws nothing; the toast
// views observe it. A new toast overwrites the current one and carries only its own content: the
// ticket that show() returns names the toast, and an update, hide or cancel action given with
// an earlier ticket does nothing once a newer toast is shown, unless that toast takes turns (a
// long operation's: it waits and comes back once the newer one hides). Updates and hides always
// take effect on a later turn of the event loop, in the order they were made. GUI thread; one
// shared instance kept until exit.
class NotificationManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPresented READ isPresented WRITE setPresented NOTIFY isPresentedChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(QImage thumbnailImage READ thumbnailImage WRITE setThumbnailImage NOTIFY thumbnailImageChanged)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(bool showProgress READ showProgress WRITE setShowProgress NOTIFY showProgressChanged)

public:
    // Names one shown toast; 0 names none (nothing shown yet).
    using Ticket = quint64;

    // The content is cleared this long after the panel hides, once its fade-out is over.
    static constexpr int kResetDelayMs = 500;

    // Real timers.
    explicit NotificationManager(QObject* parent = nullptr);
    explicit NotificationManager(Delays delays, QObject* parent = nullptr);

    static NotificationManager& shared();

    bool isPresented() const { return isPresented_; }
    // The toast view's binding: the user closing the panel.
    void setPresented(bool presented);
    const QString& title() const { return title_; }
    void setTitle(QString title);
    const QString& message() const { return message_; }
    void setMessage(QString message);
    // A null image is no thumbnail.
    const QImage& thumbnailImage() const { return thumbnailImage_; }
    void setThumbnailImage(QImage image);
    double progress() const { return progress_; }
    // Clamped to 0...1; a value that is not a number becomes 0.
    void setProgress(double progress);
    bool showProgress() const { return showProgress_; }
    void setShowProgress(bool show);
    // An operation that can be stopped offers it while its own toast shows (an empty action
    // offers nothing); the toast then carries a cancel button. Cleared by the next show() and
    // with the rest of the content.
    void setCancelAction(Ticket owner, std::function<void()> action);
    bool isCancellable() const { return bool(cancelAction_); }
    // Runs the offered action, once; nothing when none is offered.
    void cancel();

    // Marks the toast `owner` (shown just before) as a long operation's (an import, an upload,
    // the update). Shown over before its owner hides it, it waits: its owner's writes (progress,
    // message, Stop, its end) go into it, and once the panel is free again it comes back as they
    // left it, its end included. The newest waiting toast comes back first.
    void takeTurns(Ticket owner);
    // The toast `owner` stops taking turns: one waiting never comes back, one shown goes for good
    // once shown over. For an owner whose end is told elsewhere (an alert, a toast of its own).
    void leaveTurns(Ticket owner);
    // Whether `ticket` names a toast shown over that waits for its turn.
    bool isWaiting(Ticket ticket) const;
    // The work of the toast `owner` was replaced by a newer choice: waiting, it never comes back;
    // on the panel, it goes two event-loop turns later, unless a newer toast is shown by then.
    void withdraw(Ticket owner);
    // At once, for the toast `owner`: on the panel while it shows, into its turn while it waits.
    void setMessage(Ticket owner, QString message);
    void setThumbnailImage(Ticket owner, QImage image);
    void setProgress(Ticket owner, double progress);
    void setShowProgress(Ticket owner, bool show);

    // Presents the toast with the content as it is now (set through the setters just before):
    // the panel appears two event-loop turns later, so views see the content first. Drops an
    // earlier toast's cancel action. Returns the new toast's ticket.
    Ticket show();
    // Sets the content at once, then presents it as show() does.
    Ticket show(QString title, QString message, QImage thumbnail, double progress, bool showProgress);
    // Whether `ticket` names the toast shown now.
    bool isShowing(Ticket ticket) const { return ticket == current_; }
    // Each takes effect on a later turn of the event loop. Without an owner they go to the toast
    // shown at the time of the call.
    void updateProgress(double progress);
    void updateProgress(Ticket owner, double progress);
    void updateMessage(QString message);
    void updateMessage(Ticket owner, QString message);
    // Hides the panel on a later turn and clears the content half a second after that.
    void hide();
    // Hides after `seconds` (not a number, zero or negative: as soon as possible), or once its
    // message, as it is by then, can be read (readingSeconds) when that takes longer. A toast that
    // takes turns and is shown over meanwhile hides only once it is back, `seconds` after it shows again.
    void hide(double seconds);
    void hide(Ticket owner, double seconds);
    // How long a reader needs for the message.
    static double readingSeconds(const QString& message);

Q_SIGNALS:
    void isPresentedChanged();
    void titleChanged();
    void messageChanged();
    void thumbnailImageChanged();
    void progressChanged();
    void showProgressChanged();
    void cancellableChanged();

private:
    // A toast that takes turns: its content as its owner last wrote it, kept while it shows so
    // that it can wait when shown over.
    struct Turn {
        Ticket ticket = 0;
        QString title;
        QString message;
        QImage thumbnail;
        double progress = 0;
        bool showProgress = true;
        std::function<void()> cancelAction;
        // Its owner has asked it to hide: after this many seconds once it shows (again).
        std::optional<double> endsAfter;
        // That hide runs: the end has been on the panel.
        bool endTold = false;
    };

    Turn* turnOf(Ticket owner);
    const Turn* turnOf(Ticket owner) const;
    // Runs `fn` two event-loop turns later, after what was posted before it and after a
    // presentation asked for before it.
    void twoTurnsLater(std::function<void()> fn);
    // Puts the panel up for the content now set, two event-loop turns later, then runs
    // `presented`; neither happens once something else has been shown or hidden meanwhile.
    void present(std::function<void()> presented = {});
    void hideShown(Ticket owner);
    // Once the panel has faded out: the newest waiting toast comes back, or the content clears.
    void afterHidden();
    void resetContent();

    const Delays delays_;
    bool isPresented_ = false;
    QString title_;
    QString message_;
    QImage thumbnailImage_;
    double progress_ = 0;
    bool showProgress_ = true;
    std::function<void()> cancelAction_;

    // Counts show() calls; each call's count is its toast's ticket.
    Ticket generation_ = 0;
    // The toast whose content the panel holds.
    Ticket current_ = 0;
    // Counts the panel's appearances (a show, a toast coming back): delayed work carries the
    // count of its time and stands down once the panel has shown something else.
    quint64 appearance_ = 0;
    // The newest appearance a hide has taken effect for; its presentation, if still pending,
    // must not bring the panel back.
    quint64 hiddenAppearance_ = 0;
    // Toasts that take turns and have not ended, oldest first: the one shown, if it takes turns,
    // and those waiting.
    std::vector<Turn> turns_;
};
