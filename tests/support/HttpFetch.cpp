#include "support/HttpFetch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrak {

HttpReply HttpGet(uint16_t port, const std::string& path) {
    HttpReply reply;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return reply;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char buf[65536];
            ssize_t got = 0;
            while ((got = ::recv(fd, buf, sizeof buf, 0)) > 0)
                response.append(buf, static_cast<size_t>(got));
        }
    }
    ::close(fd);
    const auto end = response.find("\r\n\r\n");
    if (end == std::string::npos)
        return reply;
    reply.Ok = true;
    reply.Status = response.substr(0, response.find("\r\n"));
    reply.Body = response.substr(end + 4);
    return reply;
}

} // namespace ostrak
