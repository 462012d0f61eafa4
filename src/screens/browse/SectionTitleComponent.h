#pragma once

#include "ui/PressableWidget.h"

class TextLabel;

// The heading above a row or grid of cards: the title in bold white and, when there is one, a
// lighter subtitle under it. A clickable title shows a chevron after it and dims while hovered.
class SectionTitleComponent : public PressableWidget {
    Q_OBJECT

public:
    SectionTitleComponent(const QString& title, const QString& subtitle, bool clickable, QWidget* parent = nullptr);

    bool isClickable() const { return clickable_; }
    TextLabel* titleLabel() const { return title_; }

protected:
    bool hitTest(const QPointF& point) const override;

private:
    void follow(qreal hover);

    bool clickable_;
    TextLabel* title_;
    QWidget* chevron_ = nullptr;
};
