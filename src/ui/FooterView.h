#pragma once

#include <QWidget>

// The one-line credit at the foot of the home page, centred, with 20 pixels above and below.
class FooterView : public QWidget {
    Q_OBJECT

public:
    explicit FooterView(QWidget* parent = nullptr);

    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};
