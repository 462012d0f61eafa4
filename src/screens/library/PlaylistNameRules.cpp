#include "screens/library/PlaylistNameRules.h"

#include "foundation/Text.h"

#include <QStringList>

namespace {
QStringList words(const QString& name) { return name.split(u' ', Qt::SkipEmptyParts); }
} // namespace

QString PlaylistNameRules::limited(const QString& typed)
{
    const QString cut = Text::truncated(typed, kMaxCharacters);
    // Up to where a third word starts, the spaces before it kept: what follows is refused, and
    // letters typed next never join the second word.
    int words = 0;
    for (qsizetype i = 0; i < cut.size(); ++i) {
        const bool starts = cut.at(i) != u' ' && (i == 0 || cut.at(i - 1) == u' ');
        if (starts && ++words > kMaxWords)
            return cut.left(i);
    }
    return cut;
}

QString PlaylistNameRules::trimmed(const QString& name) { return Text::trimmedSpaces(name); }

bool PlaylistNameRules::isValidNewName(const QString& name)
{
    return !trimmed(name).isEmpty() && words(name).size() <= kMaxWords && Text::graphemeCount(name) <= kMaxCharacters;
}

std::optional<QString> PlaylistNameRules::renamed(const QString& typed)
{
    const QString name = trimmed(typed);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}
