#pragma once

#include <set>

typedef void CURL; // as libcurl declares it

// The connections libcurl keeps open between file transfers, watched for bytes that come while
// no request is out: the rest of a reply longer than the length it announced, which the next
// request on the connection would read as its own reply. Such a connection is shut before a
// transfer starts, so libcurl finds it closed and opens a fresh one. A connection a transfer
// takes up again is told by the transfer's own ends as libcurl reports them before its request
// goes out (libcurl names a transfer's socket only once it has ended). Lives on Http's worker
// thread, owned by HttpWorker.
class HttpIdleConnections {
public:
    // Readies `handle` so that this hears when libcurl closes one of its sockets, and which
    // connection its transfer takes.
    void watch(CURL* handle);
    // `handle`'s transfer ended: the connection libcurl keeps from it, if any, waits for the next.
    void ended(CURL* handle);
    // Shuts each waiting connection on which bytes arrived.
    void sweep();
    // Whether `handle`'s connection holds bytes nobody read yet: on its socket, or already
    // decrypted by TLS with the last bytes read (those never show on the socket).
    static bool holdsUnreadBytes(CURL* handle);

private:
    static int onClose(void* self, int socket);
    static int onRequest(void* self, char* peerAddress, char* localAddress, int peerPort, int localPort);

    std::set<int> idle_;
};
