#pragma once

#include "ui/PressableWidget.h"

#include <QColor>

// A short text that is a button (the settings page's corner links, its update check): drawn in
// its colour, brightening to white while hovered, dimmed while disabled.
class LinkText : public PressableWidget {
    Q_OBJECT

public:
    LinkText(const QString& text, qreal pointSize, const QColor& color, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString text_;
    QFont font_;
    QColor color_;
};
