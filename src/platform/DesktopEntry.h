#pragma once

#include <QString>

#include <optional>

// The few pieces of the freedesktop desktop-entry format the platform layer writes and reads
// back: quoting a program path for an Exec line, and reading one key of the "[Desktop Entry]"
// group. A value type with no state of its own beyond the text it was given.
class DesktopEntry {
public:
    explicit DesktopEntry(QString text);

    // An Exec argument: quoted, with the characters the format reserves escaped; a literal
    // percent sign doubled, since "%u" and its kind stand for what the desktop passes.
    static QString quotedArgument(const QString& argument);

    // The raw value of `key` in the "[Desktop Entry]" group; nothing when absent. Localised
    // variants ("Name[de]") are other keys.
    std::optional<QString> value(const QString& key) const;
    // A boolean key: true or false when it holds "true" or "false", else nothing.
    std::optional<bool> boolean(const QString& key) const;
    // The program the Exec line starts: its first argument, unquoted; nothing when there is no
    // Exec line, it is empty or its quoting is cut short.
    std::optional<QString> program() const;

private:
    QString text_;
};
