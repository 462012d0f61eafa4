#pragma once

#include "ui/AnimatedValue.h"

#include <QImage>
#include <QWidget>

// The small floating card through which long operations report: an optional round thumbnail, a
// message that wraps onto as many lines as it needs, and an optional progress bar, on the glass
// background. Presenting it springs it in from the right while it fades in; hiding springs it
// out the same way. While hidden it lets the pointer through to what lies beneath; presented, it
// takes the pointer over its area and does nothing with it but a click on its cancel button. It has no timer: whoever presents
// it hides it. Its owner places it (offset by slideOffset()) and sizes it with heightForWidth().
// GUI thread.
class NotificationToast : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinWidth = 140;
    static constexpr int kMaxWidth = 220;
    static constexpr qreal kSlideDistance = 450;

    // Where each part lies in a card of a given width; empty rects for parts not shown.
    struct Parts {
        QRectF thumbnail;
        QRectF message;
        QRectF track;
        QRectF fill;
        QRectF cancel;
        int height = 0;
    };

    explicit NotificationToast(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    // A null image shows no thumbnail.
    void setThumbnail(const QImage& thumbnail);
    // The fill is drawn clamped to 0...1; a value that is not a number draws as 0.
    void setProgress(double progress);
    void setShowProgress(bool show);
    // A small cancel button at the top right, for an operation that can be stopped.
    void setCancellable(bool cancellable);
    bool isPresented() const { return presented_; }
    void setPresented(bool presented);

    // 0 hidden, 1 presented; the spring may pass either end on its way.
    qreal presentation() const { return presentation_.value(); }
    // How far right of its place the card is drawn now, and its opacity.
    qreal slideOffset() const;
    qreal opacity() const;

    Parts parts(int width) const;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    // The size or the slide offset changed: the owner places the card again.
    void placementChanged();
    // The cancel button was clicked.
    void cancelRequested();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString message_;
    QImage thumbnail_;
    double progress_ = 0;
    bool cancellable_ = false;
    bool showProgress_ = true;
    bool presented_ = false;
    AnimatedValue presentation_;
};
