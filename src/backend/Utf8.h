#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Utf8 {

// The text of bytes that are valid UTF-8, or nothing.
std::optional<QString> decode(const QByteArray& bytes);

} // namespace Utf8
