#include "ui/DetailItem.h"

QList<DetailItem> DetailItem::of(const WallpaperModel& wallpaper)
{
    QList<DetailItem> items;
    const auto add = [&](const QString& icon, const std::optional<QString>& text) {
        if (text && !text->isEmpty())
            items.append(DetailItem{icon, *text});
    };
    add(QStringLiteral("ratio.frame"), wallpaper.resolution);
    add(QStringLiteral("doc"), wallpaper.fileSize);
    add(QStringLiteral("clock"), wallpaper.duration);
    return items;
}
