#pragma once

#include <QString>

#include <optional>

namespace pictor {
namespace pt {

// The lower-case hexadecimal SHA-256 of the text's UTF-8 bytes (64 characters): hashed cache
// file names.
QString sha256(const QString& text);
// The extension of a cache key: after the last "." of the part before the first "@" (empty parts
// skipped), when there is one and it is not empty.
std::optional<QString> fileExtension(const QString& key);

} // namespace pt
} // namespace pictor
