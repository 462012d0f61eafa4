#pragma once

#include "backend/CategoryItem.h"
#include "ui/PressableWidget.h"

#include <QUrl>

class CachedAsyncImage;

// One big category card: the cover wallpaper's poster (a faint gradient while it is missing), a
// dark shade along the bottom and the category's name over it at the bottom left. While hovered
// the card grows to 1.02 and its border brightens. A click anywhere on the rounded card reports
// the category. Painted by this one widget. GUI thread.
class CategoryCardView : public PressableWidget {
    Q_OBJECT

public:
    static constexpr qreal kCornerRadius = 26;
    static constexpr double kAspect = 21.0 / 37.0; // height per width

    CategoryCardView(const CategoryItem& category, const std::optional<QUrl>& posterUrl, QWidget* parent = nullptr);

    const CategoryItem& category() const { return category_; }
    QUrl posterUrl() const;
    bool hasPicture() const;
    qreal scale() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    void tapped(const CategoryItem& category);

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF cardRect() const;

    CategoryItem category_;
    CachedAsyncImage* picture_;
};
