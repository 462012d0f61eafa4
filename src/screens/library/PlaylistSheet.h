#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The frame of the playlist sheets: a fixed size on the application's background, white text,
// a header with the headline title and its buttons, a divider, then the sheet's own body. Escape
// dismisses it (the sheet host's key); Return presses the confirming button while it is enabled
// and shown. A sheet closes by asking the sheet host it was presented on.
class PlaylistSheet : public QWidget {
    Q_OBJECT

public:
    PlaylistSheet(QSize size, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    // The headline, cut with an ellipsis when it does not fit (a long playlist name).
    void setTitle(const QString& title);
    // The sheet's own content goes here.
    QVBoxLayout* body() const { return body_; }
    // A button at the right end of the header.
    void addHeaderButton(QPushButton* button);
    void setDefaultButton(QPushButton* button);
    // Dismisses this sheet from its host (only when it is the top one).
    void dismiss();

    QSize sizeHint() const override { return size_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const QSize size_;
    QLabel* title_;
    QHBoxLayout* header_;
    QVBoxLayout* body_;
    QPushButton* default_ = nullptr;
};
