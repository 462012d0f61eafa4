#include "platform/HttpIdleConnections.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {
curl_socket_t socketOf(CURL* handle)
{
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(handle, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK)
        return CURL_SOCKET_BAD;
    return socket;
}

// Whether `address` is the numeric address `text` and the port `port`, as libcurl writes them.
bool isAt(const sockaddr_storage& address, const char* text, int port)
{
    char numeric[INET6_ADDRSTRLEN] = {};
    int at = -1;
    if (address.ss_family == AF_INET) {
        const auto& ip4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &ip4.sin_addr, numeric, sizeof numeric);
        at = ntohs(ip4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& ip6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &ip6.sin6_addr, numeric, sizeof numeric);
        at = ntohs(ip6.sin6_port);
    }
    return at == port && text && std::strcmp(numeric, text) == 0;
}

// Whether `socket` connects these ends.
bool joins(int socket, const char* localAddress, int localPort, const char* peerAddress, int peerPort)
{
    sockaddr_storage local{};
    sockaddr_storage peer{};
    socklen_t localLength = sizeof local;
    socklen_t peerLength = sizeof peer;
    return ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &localLength) == 0
        && ::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 && isAt(local, localAddress, localPort)
        && isAt(peer, peerAddress, peerPort);
}
} // namespace

void HttpIdleConnections::watch(CURL* handle)
{
    curl_easy_setopt(handle, CURLOPT_CLOSESOCKETFUNCTION, &HttpIdleConnections::onClose);
    curl_easy_setopt(handle, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, &HttpIdleConnections::onRequest);
    curl_easy_setopt(handle, CURLOPT_PREREQDATA, this);
}

void HttpIdleConnections::ended(CURL* handle)
{
    // A connection libcurl closed has no socket any more.
    if (const curl_socket_t socket = socketOf(handle); socket != CURL_SOCKET_BAD)
        idle_.insert(socket);
}

void HttpIdleConnections::sweep()
{
    for (auto it = idle_.begin(); it != idle_.end();) {
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

int HttpIdleConnections::onRequest(void* self, char* peerAddress, char* localAddress, int peerPort, int localPort)
{
    // Taken up again, its reply is on its way: its transfer's end makes it idle once more.
    std::erase_if(static_cast<HttpIdleConnections*>(self)->idle_,
        [&](int socket) { return joins(socket, localAddress, localPort, peerAddress, peerPort); });
    return CURL_PREREQFUNC_OK;
}

int HttpIdleConnections::onClose(void* self, int socket)
{
    static_cast<HttpIdleConnections*>(self)->idle_.erase(socket);
    return ::close(socket);
}
