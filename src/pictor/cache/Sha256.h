#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace pictor {

// SHA-256 of bytes. On processors with the SHA extensions the blocks go through them (about ten
// times the speed of a portable implementation, which matters for hashing large keys and data);
// elsewhere Qt's implementation does the work.
class Sha256 {
public:
    static QByteArray digest(QByteArrayView bytes);
    static bool accelerated();
};

} // namespace pictor
