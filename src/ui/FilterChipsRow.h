#pragma once

#include "backend/CategoryItem.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class FilterChip;
class FlowLayout;

// A wrapping row of chips, 12 pixels apart across and down, one per title, the chip whose
// title is the selected item drawn selected. A click either reports the title, or, when the
// owner wires category navigation, opens the category of that name from the catalogue's
// category list as it stands at that moment (a title naming no known category does nothing).
// Titles are the chips' identities: a repeated title is shown once.
class FilterChipsRow : public QWidget {
    Q_OBJECT

public:
    using CategoryNavigation = std::function<void(qint64 categoryId, const QString& categoryName)>;
    static constexpr int kSpacing = 12;
    // The one title that opens its category without consulting the list.
    static inline const QString kMonochromeTitle = QStringLiteral("Monochrome (B&W)");
    static constexpr qint64 kMonochromeCategoryId = 99;

    explicit FilterChipsRow(QWidget* parent = nullptr);

    const QStringList& items() const { return items_; }
    void setItems(const QStringList& items);
    void setSelectedItem(const QString& title);
    // With navigation wired, clicks open categories instead of reporting titles.
    void setCategoryNavigation(CategoryNavigation navigate);
    // The list consulted on a click; the shared catalogue's categories unless set.
    void setCategorySource(std::function<QList<CategoryItem>()> categories);

    FilterChip* chip(const QString& title) const;

    // The category a click on `title` opens: the monochrome one for its title, else the first
    // category of exactly that name, else none.
    static std::optional<CategoryItem> categoryFor(const QString& title, const QList<CategoryItem>& categories);

signals:
    // A click on a chip while no category navigation is wired.
    void itemSelected(const QString& title);

private:
    void tap(const QString& title);

    FlowLayout* layout_;
    QStringList items_;
    QList<FilterChip*> chips_;
    QString selected_;
    CategoryNavigation navigate_;
    std::function<QList<CategoryItem>()> categories_;
};
