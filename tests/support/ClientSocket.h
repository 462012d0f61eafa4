#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

// This process's end of the loopback connection a server saw coming from `port`: the socket
// bound to that local port, or -1.
inline int clientSocketAt(long port)
{
    for (int socket = 0; socket < 4096; ++socket) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) == 0 && local.sin_family == AF_INET
            && ntohs(local.sin_port) == port)
            return socket;
    }
    return -1;
}
