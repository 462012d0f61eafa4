#include "state/CategoryNames.h"

#include <gtest/gtest.h>

namespace {

QList<CategoryItem> named(const QStringList& names)
{
    QList<CategoryItem> categories;
    for (const QString& name : names)
        categories.append(CategoryItem{name, categories.size() + 1, std::nullopt});
    return categories;
}

TEST(CategoryNamesTest, NamesThatReadAlikeAreToldApartInOrder)
{
    const QString untitled = CategoryNames::untitled();
    const QList<std::pair<QStringList, QStringList>> cases{
        {{"Nature", "City"}, {"Nature", "City"}},
        {{"nature", "Nature"}, {"nature", "Nature"}},                 // case tells them apart
        {{"\u0001\u0002", " \t\u200b"}, {untitled, untitled + " 2"}}, // nothing to show
        {{"Untitled", "\u0007"}, {"Untitled", untitled + " 2"}},
        {{"Ocean", "Ocean\u0007", "Oce\u0081an "}, {"Ocean", "Ocean 2", "Ocean 3"}},
        {{"\x1b[0m", "\x1b]0;x\a "}, {untitled, untitled + " 2"}},              // escape sequences show nothing
        {{"Nature", "\x1b[1mNature\x1b[0m"}, {"Nature", "Nature 2"}},           // nor leave a tail
        {{"Rain\nfall", "Rain fall"}, {"Rain\nfall", "Rain fall 2"}}, // the first keeps its own text
        {{"Art", "Art", "Art 2"}, {"Art", "Art 3", "Art 2"}},         // never a name another reads as
        {{}, {}},
    };
    for (const auto& [names, expected] : cases) {
        const QList<CategoryItem> shown = CategoryNames::toldApart(named(names));
        QStringList got;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            got.append(shown.at(i).categoryName);
            EXPECT_EQ(shown.at(i).id, i + 1) << "order and ids kept";
        }
        EXPECT_EQ(got, expected) << names.join(u'|').toStdString();
    }
}

} // namespace
