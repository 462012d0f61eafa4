#pragma once

#include "screens/browse/CategoryNavigationItem.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <optional>

class AppStore;
class FilterChip;
class FilterChipsRow;
class LockscreenExclusiveChip;

// The three chip rows under the Explore hero: the resolution classes, every catalogue category
// plus monochrome, and the lock-screen exclusives. A chip asks for its category page; a
// resolution chip also stays highlighted until the page it opened is left (or it is clicked
// again, which only removes the highlight).
class ExploreFilterChips : public QWidget {
    Q_OBJECT

public:
    struct Resolution {
        QString label;
        QString value;
    };
    static const QList<Resolution>& resolutions();

    explicit ExploreFilterChips(AppStore& appStore, QWidget* parent = nullptr);

    // Every category's name in the catalogue's order, then "Monochrome (B&W)".
    QStringList categoryChipItems() const;

    const std::optional<QString>& selectedResolution() const { return selectedResolution_; }
    void clearSelectedResolution();

    FilterChip* resolutionChip(const QString& value) const;
    FilterChipsRow* categoryRow() const { return categories_; }
    LockscreenExclusiveChip* lockScreenChip() const { return lockScreen_; }

Q_SIGNALS:
    void categoryRequested(const CategoryNavigationItem& item);

private:
    void toggleResolution(const Resolution& resolution);
    void setSelectedResolution(const std::optional<QString>& value);

    AppStore& appStore_;
    QList<FilterChip*> resolutionChips_;
    FilterChipsRow* categories_;
    LockscreenExclusiveChip* lockScreen_;
    std::optional<QString> selectedResolution_;
};
