#pragma once

#include "ui/PressableWidget.h"

// A bare symbol that acts as a button (the chevrons that page a row): no fill, no hover look of
// its own; drawn at 0.4 of its colour's opacity while disabled, when it takes no clicks.
class SymbolButton : public PressableWidget {
    Q_OBJECT

public:
    SymbolButton(const QString& symbol, qreal pointSize, const QColor& color, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    qreal pointSize_;
    QColor color_;
};
