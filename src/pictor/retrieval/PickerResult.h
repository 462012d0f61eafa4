#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace pictor {

// An item chosen in a photo picker, backed by a file: the library's asset identifier when it has
// one, the file, and the type identifiers ("public.jpeg", ...) the item can be read as.
struct PickerResult {
    std::optional<QString> assetIdentifier;
    QUrl fileURL;
    QStringList typeIdentifiers;
};

} // namespace pictor
