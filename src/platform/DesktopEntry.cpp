#include "platform/DesktopEntry.h"

#include <QStringList>

namespace {
const QString kMainGroup = QStringLiteral("[Desktop Entry]");
}

DesktopEntry::DesktopEntry(QString text) : text_(std::move(text)) {}

QString DesktopEntry::quotedArgument(const QString& argument)
{
    QString escaped;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return u'"' + escaped + u'"';
}

std::optional<QString> DesktopEntry::value(const QString& key) const
{
    bool inMainGroup = false;
    const QStringList lines = text_.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMainGroup = line == kMainGroup;
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

std::optional<bool> DesktopEntry::boolean(const QString& key) const
{
    const std::optional<QString> text = value(key);
    if (text == QStringLiteral("true"))
        return true;
    if (text == QStringLiteral("false"))
        return false;
    return std::nullopt;
}

std::optional<QString> DesktopEntry::program() const
{
    const std::optional<QString> command = value(QStringLiteral("Exec"));
    if (!command || command->isEmpty())
        return std::nullopt;
    if (!command->startsWith(u'"'))
        return command->section(u' ', 0, 0);
    // A quoted argument ends at the first quote no backslash escapes.
    QString program;
    for (qsizetype index = 1; index < command->size(); ++index) {
        const QChar c = command->at(index);
        if (c == u'"')
            return program.isEmpty() ? std::nullopt : std::optional<QString>(program.replace(QStringLiteral("%%"), QStringLiteral("%")));
        if (c == u'\\' && index + 1 < command->size())
            program += command->at(++index);
        else
            program += c;
    }
    return std::nullopt;
}
