#pragma once

#include "backend/CategoryItem.h"

#include <QWidget>

class AppStore;
class LazyGridView;

// The "Categories" block of the home and explore pages: its heading and up to nine big category
// cards, three a row, each with the poster of its cover wallpaper once the asset host is known.
// A click on a card reports its category. Each time the block comes on screen it logs how many
// categories it was given. GUI thread.
class CategoriesSection : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxShown = 9;

    CategoriesSection(AppStore& appStore, int cardSpacing, QWidget* parent = nullptr);

    void setCategories(const QList<CategoryItem>& categories);
    const QList<CategoryItem>& categories() const { return categories_; }
    LazyGridView* grid() const { return grid_; }
    // The cover's poster address: none without a cover key or an asset host.
    static std::optional<QUrl> posterUrl(const CategoryItem& category, const std::optional<QString>& host);

Q_SIGNALS:
    void categoryTapped(const CategoryItem& category);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();

    AppStore& appStore_;
    QList<CategoryItem> categories_;
    LazyGridView* grid_;
};
