#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What auto-complete offers for a typed query: the suggested completion and further
// suggestions (chips) in the backend's order, both capitalised. "No result" is (absent, empty).
struct AutoCompleteResult {
    std::optional<QString> suggestion;
    QStringList chips;

    bool operator==(const AutoCompleteResult&) const = default;
};
