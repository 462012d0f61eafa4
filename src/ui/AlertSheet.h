#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class SheetHost;

// A short question or notice shown as a sheet of the window: a title, a message and a row of
// buttons. Any button (or Escape) closes it; a button then runs its action. A destructive button
// reads red, the cancel button is plain. GUI thread; the sheet host owns it.
class AlertSheet : public QWidget {
    Q_OBJECT

public:
    enum class Role { Cancel, Destructive, Default };
    struct Button {
        QString title;
        Role role = Role::Default;
        std::function<void()> action; // may be empty
    };

    AlertSheet(const QString& title, const QString& message, const QList<Button>& buttons, QWidget* parent = nullptr);

    // Shows the alert on the sheet host of `from`'s window, made when the window has none.
    static AlertSheet* present(QWidget* from, const QString& title, const QString& message, const QList<Button>& buttons);
    // The alert showing in `from`'s window, if any.
    static AlertSheet* shown(QWidget* from);

    QString title() const;
    QString message() const;
    // Presses the button with this title, as a click would; false when there is none.
    bool press(const QString& buttonTitle);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void finish(const std::function<void()>& action);

    QLabel* title_;
    QLabel* message_;
    QList<std::pair<QString, std::function<void()>>> actions_;
};
