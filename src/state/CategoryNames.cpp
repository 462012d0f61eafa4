#include "state/CategoryNames.h"

#include "foundation/Text.h"

#include <QSet>

#include <algorithm>

namespace {
// Blank once control characters and escape sequences are left out (zero-width marks and spaces
// show nothing either).
bool showsNothing(const QString& name)
{
    const QString shown = Text::oneLine(name);
    return std::all_of(shown.cbegin(), shown.cend(), [](QChar unit) { return unit.isSpace() || unit.category() == QChar::Other_Format; });
}

QString shownName(const QString& name) { return showsNothing(name) ? CategoryNames::untitled() : Text::trimmed(Text::oneLine(name)); }
} // namespace

QList<CategoryItem> CategoryNames::toldApart(QList<CategoryItem> categories)
{
    QStringList shown;
    for (const CategoryItem& category : categories)
        shown.append(shownName(category.categoryName));
    // A number never makes a name that another category already reads as.
    const QSet<QString> readAs(shown.cbegin(), shown.cend());
    QSet<QString> given;
    for (qsizetype i = 0; i < categories.size(); ++i) {
        QString name = shown.at(i);
        if (given.contains(name)) {
            int number = 2;
            while (readAs.contains(name + u' ' + QString::number(number)) || given.contains(name + u' ' + QString::number(number)))
                ++number;
            name += u' ' + QString::number(number);
        } else if (!showsNothing(categories.at(i).categoryName)) {
            // The first of its reading keeps its own name as the catalogue sent it.
            given.insert(name);
            continue;
        }
        given.insert(name);
        categories[i].categoryName = name;
    }
    return categories;
}
