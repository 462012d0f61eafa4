#pragma once

#include <QString>

namespace signalry {

// The lowercase hexadecimal SHA-256 digest of `text` immediately followed by `salt` (64
// characters): how user identifiers become the pseudonymous `clientUser` of each signal.
QString sha256Hex(const QString& text, const QString& salt = {});

} // namespace signalry
