// The socket calls the test servers and clients use, on POSIX and on Winsock.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using kvPollFd = WSAPOLLFD;
constexpr int KV_SEND_FLAGS = 0;
constexpr int KV_SHUT_WRITE = SD_SEND;
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using kvPollFd = pollfd;
constexpr int KV_SEND_FLAGS = MSG_NOSIGNAL;
constexpr int KV_SHUT_WRITE = SHUT_WR;
#endif

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

// Starts Winsock for the test program's own sockets (once; nothing on POSIX).
inline void TestSocketsStart() {
#ifdef _WIN32
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
}

// A stream socket, not inherited by child processes; -1 when none.
inline int TestSocket(int family = AF_INET) {
    TestSocketsStart();
#ifdef _WIN32
    SOCKET s = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
#else
    return socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
#endif
}

inline void TestCloseSocket(int fd) {
#ifdef _WIN32
    closesocket(static_cast<SOCKET>(fd));
#else
    close(fd);
#endif
}

// Non-blocking by default; with `on` false, blocking again.
inline void TestSetNonBlocking(int fd, bool on = true) {
#ifdef _WIN32
    u_long value = on ? 1 : 0;
    ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &value);
#else
    int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
#endif
}

// Ends the sending side: the peer reads the end of the stream.
inline void TestShutdownWrite(int fd) {
#ifdef _WIN32
    shutdown(static_cast<SOCKET>(fd), KV_SHUT_WRITE);
#else
    shutdown(fd, KV_SHUT_WRITE);
#endif
}

inline kvPollFd TestPollFd(int fd, short events) {
    kvPollFd p{};
#ifdef _WIN32
    p.fd = static_cast<SOCKET>(fd);
#else
    p.fd = fd;
#endif
    p.events = events;
    return p;
}

inline int TestPoll(kvPollFd* fds, int count, int ms) {
#ifdef _WIN32
    return WSAPoll(fds, static_cast<ULONG>(count), ms);
#else
    return poll(fds, static_cast<nfds_t>(count), ms);
#endif
}

inline int TestSetOption(int fd, int level, int name, const void* value, int length) {
#ifdef _WIN32
    return setsockopt(static_cast<SOCKET>(fd), level, name, static_cast<const char*>(value),
                      length);
#else
    return setsockopt(fd, level, name, value, static_cast<socklen_t>(length));
#endif
}

inline long TestRecv(int fd, char* buffer, std::size_t size) {
#ifdef _WIN32
    return recv(static_cast<SOCKET>(fd), buffer, static_cast<int>(size), 0);
#else
    return static_cast<long>(recv(fd, buffer, size, 0));
#endif
}

inline long TestSend(int fd, const char* data, std::size_t length) {
#ifdef _WIN32
    return send(static_cast<SOCKET>(fd), data, static_cast<int>(length), 0);
#else
    return static_cast<long>(send(fd, data, length, KV_SEND_FLAGS));
#endif
}

inline int TestAccept(int listenFd) {
#ifdef _WIN32
    SOCKET s = accept(static_cast<SOCKET>(listenFd), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
#else
    return accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
#endif
}

// A listening socket on 127.0.0.1 and a free port; -1 when none.
inline int TestListen(int& port, int backlog = 8) {
    int fd = TestSocket();
    if (fd < 0) return -1;
    int one = 1;
    TestSetOption(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        TestCloseSocket(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// True when the test runs under Wine, which reports a connection the peer
// reset as an orderly end (recv returns 0) where Windows and POSIX fail it.
inline bool RunningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Two connected stream sockets (Windows has no socketpair: a loopback pair).
inline bool TestSocketPair(int fds[2]) {
#ifdef _WIN32
    int port = 0;
    int listener = TestListen(port, 1);
    if (listener < 0) return false;
    fds[0] = TestSocket();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<u_short>(port));
    bool ok = fds[0] >= 0 && connect(static_cast<SOCKET>(fds[0]),
                                     reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    fds[1] = ok ? TestAccept(listener) : -1;
    TestCloseSocket(listener);
    if (fds[1] >= 0) return true;
    if (fds[0] >= 0) TestCloseSocket(fds[0]);
    return false;
#else
    return socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0;
#endif
}

// The error of the socket call that failed last on this thread.
inline int TestLastSocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

inline std::string TestSocketErrorText(int code) {
#ifdef _WIN32
    char text[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' '))
        --n;
    return n > 0 ? std::string(text, n) : "socket error " + std::to_string(code);
#else
    return std::strerror(code);
#endif
}

// The text of a getaddrinfo failure.
inline std::string TestAddressErrorText(int code) {
#ifdef _WIN32
    return gai_strerrorA(code); // gai_strerror is the wide variant under UNICODE
#else
    return gai_strerror(code);
#endif
}

// True when the call was interrupted by a signal and should be repeated.
inline bool TestInterrupted(int code) {
#ifdef _WIN32
    return code == WSAEINTR;
#else
    return code == EINTR;
#endif
}

// Ends both directions: a thread blocked sending or receiving on fd returns.
inline void TestShutdownBoth(int fd) {
#ifdef _WIN32
    shutdown(static_cast<SOCKET>(fd), SD_BOTH);
#else
    shutdown(fd, SHUT_RDWR);
#endif
}

inline bool TestBind(int fd, const sockaddr* address, std::size_t length) {
#ifdef _WIN32
    return bind(static_cast<SOCKET>(fd), address, static_cast<int>(length)) == 0;
#else
    return bind(fd, address, static_cast<socklen_t>(length)) == 0;
#endif
}

// Connects fd to the address, waiting at most timeoutMs; the socket is
// blocking again afterwards. On failure, error describes it.
inline bool TestConnectWithin(int fd, const sockaddr* address, std::size_t length, int timeoutMs,
                              std::string& error) {
    TestSetNonBlocking(fd);
#ifdef _WIN32
    SOCKET s = static_cast<SOCKET>(fd);
    if (connect(s, address, static_cast<int>(length)) != 0) {
        int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) {
            error = TestSocketErrorText(code);
            return false;
        }
        // select, not WSAPoll: older Windows never reports a refused
        // connection through WSAPoll.
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        int rc = select(0, nullptr, &writable, &failed, &limit);
        if (rc <= 0) {
            error = rc == 0 ? "connection timed out" : TestSocketErrorText(WSAGetLastError());
            return false;
        }
        int soError = 0;
        int soLength = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &soLength);
        if (FD_ISSET(s, &failed) || soError != 0) {
            error = TestSocketErrorText(soError != 0 ? soError : WSAECONNREFUSED);
            return false;
        }
    }
#else
    if (connect(fd, address, static_cast<socklen_t>(length)) != 0) {
        if (errno != EINPROGRESS) {
            error = std::strerror(errno);
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        int rc = poll(&p, 1, timeoutMs);
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
#endif
    TestSetNonBlocking(fd, false);
    return true;
}
