#pragma once

#include <QWidget>

#include <functional>

class LabelButton;

// A small sheet that says one thing: a bold title, a message in plain text and one button,
// which runs its action and then dismisses the sheet through the sheet host. GUI thread;
// presented by a SheetHost.
class AlertSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 380;

    AlertSheet(const QString& title, const QString& message, const QString& buttonText,
        std::function<void()> action = {}, QWidget* parent = nullptr);

    QString title() const { return title_; }
    QString message() const { return message_; }
    LabelButton* button() const { return button_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QString message_;
    LabelButton* button_;
};
