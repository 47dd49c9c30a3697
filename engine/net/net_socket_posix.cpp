// Sockets on POSIX systems: poll waits on the socket and the stop signal's pipe
// together, so a stop ends every wait at once.
#include "net.h"
#include "net_library.h"
#include "net_socket.h"
#include "stop_signal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool NetStartup() {
    return true;
}
void NetCleanup() {}
void SetRequestedWinsockVersion(int, int) {}

// getaddrinfo needs nothing started first.
bool SocketLookupBegin() {
    return true;
}
void SocketLookupEnd() {}

int SocketWait(const kvConnection& conn, bool forWrite, int waitMs) {
    int stopFd = conn.stop != nullptr ? conn.stop->WaitHandle() : -1;
    short events = forWrite ? POLLOUT : POLLIN;
    for (;;) {
        pollfd fds[2] = {{conn.socket, events, 0}, {stopFd, POLLIN, 0}};
        int r = poll(fds, stopFd >= 0 ? 2 : 1, waitMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) return 0;
        if (stopFd >= 0 && (fds[1].revents & POLLIN)) return -1;
        return 1;
    }
}

int SocketOpen(int family) {
    int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) SocketSetNonBlocking(fd);
    return fd;
}

void SocketSetNonBlocking(int socket) {
    int flags = fcntl(socket, F_GETFL, 0);
    fcntl(socket, F_SETFL, flags | O_NONBLOCK);
}

kvConnectStart SocketConnectStart(int socket, const std::vector<unsigned char>& address) {
    const sockaddr* addr = reinterpret_cast<const sockaddr*>(address.data());
    int r = connect(socket, addr, static_cast<socklen_t>(address.size()));
    if (r == 0) return kvConnectStart::Connected;
    return errno == EINPROGRESS ? kvConnectStart::InProgress : kvConnectStart::Failed;
}

int SocketConnectOutcome(int socket) {
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return -1;
    if (error == 0) return 0;
    return error == ECONNRESET ? 1 : -1;
}

void SocketConnected(int socket) {
    int flags = fcntl(socket, F_GETFL, 0);
    fcntl(socket, F_SETFL, flags & ~O_NONBLOCK);
    int one = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

long SocketReceive(int socket, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = recv(socket, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) return static_cast<long>(n);
    return errno == EAGAIN || errno == EWOULDBLOCK ? KV_SOCKET_AGAIN : -1;
}

long SocketSend(int socket, const char* data, std::size_t length, bool wait) {
    ssize_t n;
    do {
        n = send(socket, data, length, MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT));
    } while (n < 0 && errno == EINTR);
    if (n >= 0) return static_cast<long>(n);
    return errno == EAGAIN || errno == EWOULDBLOCK ? KV_SOCKET_AGAIN : -1;
}

void SocketClose(int socket) {
    shutdown(socket, SHUT_RDWR);
    close(socket);
}

void NetAcknowledge(const kvConnection& conn) {
#ifdef TCP_QUICKACK
    int one = 1;
    setsockopt(conn.socket, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#else
    (void)conn;
#endif
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
           inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}
