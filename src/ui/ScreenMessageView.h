#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class LabelButton;
class QLabel;
class TextLabel;

// What a screen says when it has nothing else to show (a failed load, a search that found
// nothing): a symbol, a title, a line of detail and, when asked, one button (try again, go
// back). Centred in the width it is given, the detail wrapping within a readable measure.
// GUI thread; owned by the screen that shows it.
class ScreenMessageView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxTextWidth = 480;

    struct Message {
        QString symbol;
        QColor symbolColor;
        QString title;
        QString detail; // none when empty
        QString action; // no button when empty

        // Something went wrong: the warning triangle in amber.
        static Message failure(const QString& title, const QString& detail, const QString& action = {});
        // Nothing to show: the symbol faint.
        static Message empty(const QString& symbol, const QString& title, const QString& detail);
    };

    explicit ScreenMessageView(QWidget* parent = nullptr);

    void setMessage(const Message& message);
    QString title() const;
    QString detail() const;
    // Hidden when the message has no action.
    LabelButton* actionButton() const { return action_; }

Q_SIGNALS:
    void actionClicked();

private:
    QLabel* symbol_;
    TextLabel* title_;
    TextLabel* detail_;
    LabelButton* action_;
};
