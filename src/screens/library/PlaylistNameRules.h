#pragma once

#include <QString>

#include <optional>

// The rules for a playlist's name. A new playlist's name is kept short while it is typed (at
// most 15 characters and two words, characters being what the user sees, words being split by
// the plain space only); a rename has no limits but never stores an empty name. Pure functions.
class PlaylistNameRules {
public:
    static constexpr int kMaxCharacters = 15;
    static constexpr int kMaxWords = 2;

    // What the field keeps of the typed text: cut to 15 characters, and cut where a third word
    // would start (the spaces after the second word stay, so nothing typed next joins it).
    // Spaces are left alone otherwise.
    static QString limited(const QString& typed);
    // The name with horizontal white space trimmed from both ends.
    static QString trimmed(const QString& name);
    // A new playlist's name may be created: not blank, within both limits.
    static bool isValidNewName(const QString& name);
    // What a rename stores: the trimmed text, or nothing when it is blank (the former name stays).
    static std::optional<QString> renamed(const QString& typed);
};
