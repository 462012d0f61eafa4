#include "ui/FilterChipsRow.h"

#include "state/AppStore.h"
#include "ui/FilterChip.h"
#include "ui/FlowLayout.h"

FilterChipsRow::FilterChipsRow(QWidget* parent)
    : QWidget(parent), layout_(new FlowLayout(kSpacing, this)), categories_([] { return AppStore::shared().categories(); })
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void FilterChipsRow::setItems(const QStringList& items)
{
    QStringList unique = items;
    unique.removeDuplicates();
    if (unique == items_)
        return;
    items_ = unique;
    qDeleteAll(chips_);
    chips_.clear();
    for (const QString& title : items_) {
        auto* chip = new FilterChip(title, title == selected_, this);
        connect(chip, &FilterChip::clicked, this, [this, title] { tap(title); });
        layout_->addWidget(chip);
        chips_.append(chip);
    }
}

void FilterChipsRow::setSelectedItem(const QString& title)
{
    selected_ = title;
    for (FilterChip* chip : std::as_const(chips_))
        chip->setSelected(chip->title() == title);
}

void FilterChipsRow::setCategoryNavigation(CategoryNavigation navigate) { navigate_ = std::move(navigate); }

void FilterChipsRow::setCategorySource(std::function<QList<CategoryItem>()> categories) { categories_ = std::move(categories); }

FilterChip* FilterChipsRow::chip(const QString& title) const
{
    for (FilterChip* chip : chips_)
        if (chip->title() == title)
            return chip;
    return nullptr;
}

std::optional<CategoryItem> FilterChipsRow::categoryFor(const QString& title, const QList<CategoryItem>& categories)
{
    if (title == kMonochromeTitle)
        return CategoryItem{QStringLiteral("Monochrome"), kMonochromeCategoryId, std::nullopt};
    for (const CategoryItem& category : categories)
        if (category.categoryName == title)
            return category;
    return std::nullopt;
}

void FilterChipsRow::tap(const QString& title)
{
    if (!navigate_) {
        emit itemSelected(title);
        return;
    }
    // The monochrome chip needs no list: it may be clicked before the categories have loaded.
    const QList<CategoryItem> categories = title == kMonochromeTitle ? QList<CategoryItem>{} : categories_();
    if (const auto category = categoryFor(title, categories))
        navigate_(category->id, category->categoryName);
}
