#pragma once

#include <QString>

namespace samplecatalogue {

// How the sample catalogue misbehaves for the requests of one path, so that tests can reach every
// error path of a client. Kinds combine: the delay comes first, then a status replaces the reply,
// otherwise the real reply is sent and may be mangled.
struct Fault {
    int status = 0;           // non-zero: answer with this status and a JSON error body
    int delayMs = 0;          // wait this long before answering
    bool cutShort = false;    // announce the full length, send half the bytes, close the connection
    bool invalidJson = false; // answer 200 with a body that is not JSON
    int times = -1;           // how many requests it applies to; -1 until cleared
    bool emptyBody = false;   // answer 200 with no body at all
    // Non-empty: the first match of this pattern in the real reply's body is replaced by
    // `rewriteWith`, to serve one value a backend should not send.
    QString rewritePattern = {};
    QString rewriteWith = {};
    // Answer 200 with a body that has no length and no end: it goes on until the client
    // leaves, the server stops, or 1 GiB went out.
    bool endless = false;

    bool operator==(const Fault&) const = default;
};

} // namespace samplecatalogue
