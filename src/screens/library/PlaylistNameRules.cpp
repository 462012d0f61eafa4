#include "screens/library/PlaylistNameRules.h"

#include "foundation/Text.h"

#include <QStringList>

namespace {
QStringList words(const QString& name) { return name.split(u' ', Qt::SkipEmptyParts); }
} // namespace

QString PlaylistNameRules::limited(const QString& typed)
{
    const QString cut = Text::truncated(typed, kMaxCharacters);
    const QStringList parts = words(cut);
    if (parts.size() <= kMaxWords)
        return cut;
    return parts.mid(0, kMaxWords).join(u' ');
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
