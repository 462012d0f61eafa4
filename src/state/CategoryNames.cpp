#include "state/CategoryNames.h"

#include "foundation/Text.h"

#include <QSet>

namespace {
QString shownName(const QString& name) { return Text::showsNothing(name) ? CategoryNames::untitled() : Text::trimmed(Text::oneLine(name)); }
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
        } else if (!Text::showsNothing(categories.at(i).categoryName)) {
            // The first of its reading keeps its own name as the catalogue sent it.
            given.insert(name);
            continue;
        }
        given.insert(name);
        categories[i].categoryName = name;
    }
    return categories;
}
