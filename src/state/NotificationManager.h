#pragma once

#include "state/Delays.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

// The one in-app toast through which long operations report: title, status message, optional
// thumbnail and optional progress bar, and whether it is on screen. Draws nothing; the toast
// views observe it. A new toast overwrites the current one and carries only its own content: the
// ticket that show() returns names the toast, and an update, hide or cancel action given with
// an earlier ticket does nothing once a newer toast is shown. Updates and hides always take
// effect on a later turn of the event loop, in the order they were made. GUI thread; one shared
// instance kept until exit.
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

    // Presents the toast with the content as it is now (set through the setters just before):
    // the panel appears two event-loop turns later, so views see the content first. Drops an
    // earlier toast's cancel action. Returns the new toast's ticket.
    Ticket show();
    // Sets the content at once, then presents it as show() does.
    Ticket show(QString title, QString message, QImage thumbnail, double progress, bool showProgress);
    // Whether `ticket` names the toast shown now.
    bool isShowing(Ticket ticket) const { return ticket == generation_; }
    // Each takes effect on a later turn of the event loop. Without an owner they go to the toast
    // shown at the time of the call.
    void updateProgress(double progress);
    void updateProgress(Ticket owner, double progress);
    void updateMessage(QString message);
    void updateMessage(Ticket owner, QString message);
    // Hides the panel on a later turn and clears the content half a second after that.
    void hide();
    // Hides after `seconds` (not a number or negative: as soon as possible).
    void hide(double seconds);
    void hide(Ticket owner, double seconds);

Q_SIGNALS:
    void isPresentedChanged();
    void titleChanged();
    void messageChanged();
    void thumbnailImageChanged();
    void progressChanged();
    void showProgressChanged();
    void cancellableChanged();

private:
    void hideShown(Ticket generation);
    void resetContent();

    const Delays delays_;
    bool isPresented_ = false;
    QString title_;
    QString message_;
    QImage thumbnailImage_;
    double progress_ = 0;
    bool showProgress_ = true;
    std::function<void()> cancelAction_;

    // Counts show() calls: delayed work carries the count of its time and stands down once a
    // newer toast has been shown.
    Ticket generation_ = 0;
    // The newest generation a hide has taken effect for; its presentation, if still pending,
    // must not bring the panel back.
    Ticket hiddenGeneration_ = 0;
};
