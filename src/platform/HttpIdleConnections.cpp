#include "platform/HttpIdleConnections.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
curl_socket_t socketOf(CURL* handle)
{
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(handle, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK)
        return CURL_SOCKET_BAD;
    return socket;
}
} // namespace

void HttpIdleConnections::watch(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_CLOSESOCKETFUNCTION, &HttpIdleConnections::onClose);
    curl_easy_setopt(handle, CURLOPT_CLOSESOCKETDATA, this);
}

void HttpIdleConnections::ended(CURL* handle)
{
    // A connection libcurl closed has no socket any more.
    if (const curl_socket_t socket = socketOf(handle); socket != CURL_SOCKET_BAD)
        idle_.insert(socket);
}

void HttpIdleConnections::sweep(const std::vector<CURL*>& busy)
{
    std::set<int> used;
    for (CURL* handle : busy)
        used.insert(socketOf(handle));
    for (auto it = idle_.begin(); it != idle_.end();) {
        // Taken up again: its transfer's end makes it idle once more.
        if (used.contains(*it)) {
            it = idle_.erase(it);
            continue;
        }
        pollfd waiting{*it, POLLIN, 0};
        if (::poll(&waiting, 1, 0) > 0) {
            // Bytes nobody asked for, or the server's close: libcurl's own check before a reuse
            // then finds the connection closed and drops it.
            ::shutdown(*it, SHUT_RDWR);
            it = idle_.erase(it);
            continue;
        }
        ++it;
    }
}

bool HttpIdleConnections::holdsUnreadBytes(CURL* handle)
{
    const curl_tlssessioninfo* tls = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_TLS_SSL_PTR, &tls) == CURLE_OK && tls && tls->internals
        && tls->backend == CURLSSLBACKEND_OPENSSL && ::SSL_pending(static_cast<SSL*>(tls->internals)) > 0)
        return true;
    const curl_socket_t socket = socketOf(handle);
    pollfd waiting{socket, POLLIN, 0};
    return socket != CURL_SOCKET_BAD && ::poll(&waiting, 1, 0) > 0;
}

int HttpIdleConnections::onClose(void* self, int socket)
{
    static_cast<HttpIdleConnections*>(self)->idle_.erase(socket);
    return ::close(socket);
}
