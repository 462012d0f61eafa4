#pragma once

#include <QList>
#include <QString>

#include <optional>

// The main window's top-level sections, in the order they are listed. Each one's title is what
// the user sees and what names it in text.
enum class AppTab { Home, Explore, Library, Upload, Settings };

namespace AppTabs {

QString title(AppTab tab);
// The section whose title is exactly `title` (case matters); none for any other text.
std::optional<AppTab> fromTitle(const QString& title);
const QList<AppTab>& all();

} // namespace AppTabs
