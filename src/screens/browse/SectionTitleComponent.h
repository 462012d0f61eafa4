#pragma once

#include "ui/PressableWidget.h"

class TextLabel;

// The heading above a row or grid of wallpapers: a bold white title, an optional lighter subtitle
// under it, and optional trailing controls at the right end of
// the title row. A clickable title carries a chevron, dims while the pointer is over it and
// reports clicks.
class SectionTitleComponent : public PressableWidget {
    Q_OBJECT

public:
    // Section headings use the title style; page blocks (categories, popular) the large title.
    enum class Size { Section, Block };

    SectionTitleComponent(const QString& title, const QString& subtitle, bool clickable, QWidget* trailing = nullptr,
        Size size = Size::Section, QWidget* parent = nullptr);

    QString title() const;
    bool isClickable() const { return clickable_; }
    // Where the title (with its chevron) takes clicks; empty when it takes none.
    QRect titleHitRect() const;

Q_SIGNALS:
    void titleClicked();

protected:
    bool hitTest(const QPointF& point) const override;

private:
    void follow(qreal hover);

    bool clickable_;
    TextLabel* title_;
    QWidget* chevron_ = nullptr;
};
