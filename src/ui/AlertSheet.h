#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class LabelButton;

// A small sheet that says one thing: a bold title, a message in plain text and a row of buttons
// at the right. A button runs its action and then dismisses the sheet through the sheet host;
// Escape dismisses it without an action. A destructive button reads red, a cancel button is
// quiet, the default one is white. GUI thread; presented by a SheetHost.
class AlertSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 380;

    enum class Role { Cancel, Destructive, Default };
    struct Button {
        QString title;
        Role role = Role::Default;
        std::function<void()> action; // may be empty
    };

    // One default button.
    AlertSheet(const QString& title, const QString& message, const QString& buttonText,
        std::function<void()> action = {}, QWidget* parent = nullptr);
    AlertSheet(const QString& title, const QString& message, const QList<Button>& buttons, QWidget* parent = nullptr);

    // Shows the alert on the sheet host of `from`'s window, made when the window has none.
    static AlertSheet* present(QWidget* from, const QString& title, const QString& message, const QList<Button>& buttons);
    // The alert on top of the sheets of `from`'s window, if any.
    static AlertSheet* shown(QWidget* from);

    QString title() const { return title_; }
    QString message() const { return message_; }
    // The first button.
    LabelButton* button() const { return buttons_.value(0); }
    // Presses the button with this title, as a click would; false when there is none.
    bool press(const QString& buttonTitle);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void finish(const std::function<void()>& action);

    QString title_;
    QString message_;
    QList<LabelButton*> buttons_;
};
