#include "nntp_line_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvex_test {

NntpLineClient::~NntpLineClient() {
    Close();
}

void NntpLineClient::Shutdown() {
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void NntpLineClient::Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    input.clear();
    inputStart = 0;
}

namespace {

// Connects fd to the address, waiting at most timeoutSeconds.
bool ConnectWithin(int fd, const sockaddr* address, socklen_t length, int timeoutSeconds,
                   std::string& error) {
    int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(fd, address, length);
    if (rc != 0 && errno != EINPROGRESS) {
        error = std::strerror(errno);
        return false;
    }
    if (rc != 0) {
        pollfd p{fd, POLLOUT, 0};
        rc = ::poll(&p, 1, timeoutSeconds * 1000);
        if (rc <= 0) {
            error = rc == 0 ? "connection timed out" : std::strerror(errno);
            return false;
        }
        int soError = 0;
        socklen_t soLength = sizeof soError;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &soLength);
        if (soError != 0) {
            error = std::strerror(soError);
            return false;
        }
    }
    fcntl(fd, F_SETFL, flags);
    return true;
}

} // namespace

bool NntpLineClient::Connect(const std::string& host, int port, const std::string& sourceAddress,
                             int timeoutSeconds) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        lastError = host + ": " + gai_strerror(rc);
        return false;
    }
    lastError = "no address";
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd < 0) continue;
        if (!sourceAddress.empty()) {
            addrinfo* local = nullptr;
            addrinfo localHints{};
            localHints.ai_family = a->ai_family;
            localHints.ai_socktype = SOCK_STREAM;
            localHints.ai_flags = AI_NUMERICHOST;
            if (getaddrinfo(sourceAddress.c_str(), "0", &localHints, &local) != 0 ||
                ::bind(fd, local->ai_addr, local->ai_addrlen) != 0) {
                lastError = "cannot bind to " + sourceAddress;
                if (local != nullptr) freeaddrinfo(local);
                ::close(fd);
                fd = -1;
                continue;
            }
            freeaddrinfo(local);
        }
        if (ConnectWithin(fd, a->ai_addr, a->ai_addrlen, timeoutSeconds, lastError)) break;
        lastError = host + ":" + service + ": " + lastError;
        ::close(fd);
        fd = -1;
    }
    freeaddrinfo(found);
    return fd >= 0;
}

bool NntpLineClient::SendAll(const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastSendError = std::string("send: ") + std::strerror(errno);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool NntpLineClient::Fill() {
    if (inputStart > 0) {
        input.erase(0, inputStart);
        inputStart = 0;
    }
    if (readTimeoutSeconds > 0) {
        pollfd p{fd, POLLIN, 0};
        int rc = ::poll(&p, 1, readTimeoutSeconds * 1000);
        if (rc <= 0) {
            lastError = rc == 0 ? "no answer from the server" : std::strerror(errno);
            return false;
        }
    }
    char piece[65536];
    ssize_t n;
#ifdef TCP_QUICKACK
    // nnrpd writes a multi-line answer in several pieces; acknowledging each at
    // once saves the delayed-ACK wait (about 40 ms per answer on loopback).
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
    do {
        n = ::recv(fd, piece, sizeof piece, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        lastError = n == 0 ? "the server closed the connection" : std::strerror(errno);
        return false;
    }
    input.append(piece, static_cast<std::size_t>(n));
    return true;
}

bool NntpLineClient::ReadLine(std::string& line) {
    for (;;) {
        std::size_t lf = input.find('\n', inputStart);
        if (lf != std::string::npos) {
            std::size_t end = lf > inputStart && input[lf - 1] == '\r' ? lf - 1 : lf;
            line.assign(input, inputStart, end - inputStart);
            inputStart = lf + 1;
            return true;
        }
        if (fd < 0 || !Fill()) return false;
    }
}

bool NntpLineClient::ReadMultiline(std::vector<std::string>& lines) {
    lines.clear();
    std::string line;
    while (ReadLine(line)) {
        if (line == ".") return true;
        if (!line.empty() && line[0] == '.') line.erase(0, 1);
        lines.push_back(line);
    }
    return false;
}

bool NntpLineClient::Command(const std::string& command, std::string& status) {
    if (!SendAll(command + "\r\n")) {
        lastError = lastSendError;
        return false;
    }
    return ReadLine(status);
}

int StatusCode(const std::string& line) {
    if (line.size() < 3) return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

} // namespace korvex_test
