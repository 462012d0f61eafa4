#pragma once

#include "ui/AppTab.h"

#include <functional>

class NavigationHost;
class SheetHost;
struct CategoryNavigationItem;

// What a page of the main window may ask of the view that holds it, besides its browse context.
// Every function is set by the root view; a page keeps its copy for as long as it lives.
struct PageLinks {
    // Pushes the category page for the item on the navigation stack of the page's own tab.
    std::function<void(const CategoryNavigationItem&)> openCategory;
    // Leaves a pushed page; does nothing for a tab's own page.
    std::function<void()> close;
    // Shows another tab.
    std::function<void(AppTab)> selectTab;
    // The window's navigation stack, for pages that push and pop pages of their own (a nested
    // full-screen view, say).
    NavigationHost* navigation = nullptr;
    // The window's sheets.
    SheetHost* sheets = nullptr;
};
