// Sockets on Windows (Winsock 2). Sockets stay non-blocking. A wait first asks
// select whether the socket is ready already; if not, the socket's network
// events are tied to an event object and the thread waits on it and on the stop
// signal's event together, so a stop ends the wait at once. select is asked
// again once the events are tied, so nothing that happens in between is missed.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "net.h"
#include "net_library.h"
#include "net_socket.h"
#include "stop_signal.h"

namespace {
WORD requestedVersion = MAKEWORD(2, 2);
thread_local int startups = 0; // this thread's WSAStartup calls not yet cleaned up

SOCKET Handle(int socket) {
    return static_cast<SOCKET>(socket);
}

// 1 when select finds the socket ready (for a connect: ended either way), 0 when not, -1 on
// failure.
int ReadyNow(SOCKET s, bool forWrite) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed); // a connect that failed shows here, not as writable
    timeval none{0, 0};
    int r = forWrite ? select(0, nullptr, &ready, &failed, &none)
                     : select(0, &ready, nullptr, &failed, &none);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}
} // namespace

void SetRequestedWinsockVersion(int major, int minor) {
    requestedVersion = MAKEWORD(major, minor);
}

bool NetStartup() {
    WSADATA data;
    if (WSAStartup(requestedVersion, &data) != 0) return false;
    if (data.wVersion != MAKEWORD(2, 2)) { // the only version this layer is written for
        WSACleanup();
        return false;
    }
    ++startups;
    return true;
}

void NetCleanup() {
    // Only what this thread started: a second search elsewhere keeps Winsock.
    if (startups == 0) return;
    --startups;
    WSACleanup();
}

bool SocketLookupBegin() {
    // The lookup runs on a thread of its own, which needs Winsock started too.
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void SocketLookupEnd() {
    WSACleanup();
}

int SocketWait(const kvConnection& conn, bool forWrite, int waitMs) {
    SOCKET s = Handle(conn.socket);
    HANDLE stop = conn.stop != nullptr ? static_cast<HANDLE>(conn.stop->WaitHandle()) : nullptr;
    if (stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return -1;
    int now = ReadyNow(s, forWrite);
    if (now != 0) return now;
    if (waitMs == 0) return 0;
    WSAEVENT socketEvent = WSACreateEvent();
    if (socketEvent == WSA_INVALID_EVENT) return -1;
    long events = forWrite ? FD_WRITE | FD_CONNECT | FD_CLOSE : FD_READ | FD_CLOSE;
    int result = -1;
    if (WSAEventSelect(s, socketEvent, events) == 0) {
        result = ReadyNow(s, forWrite);
        if (result == 0) {
            HANDLE handles[2] = {socketEvent, stop};
            DWORD count = stop != nullptr ? 2 : 1;
            DWORD timeout = waitMs < 0 ? INFINITE : static_cast<DWORD>(waitMs);
            DWORD w = WaitForMultipleObjects(count, handles, FALSE, timeout);
            if (w == WAIT_OBJECT_0)
                result = 1;
            else if (w == WAIT_TIMEOUT)
                result = 0;
            else
                result = -1; // the stop, or a failed wait
        }
        WSAEventSelect(s, nullptr, 0);
    }
    WSACloseEvent(socketEvent);
    return result;
}

int SocketOpen(int family) {
    SOCKET s = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return -1;
    SocketSetNonBlocking(static_cast<int>(s));
    return static_cast<int>(s);
}

void SocketSetNonBlocking(int socket) {
    u_long on = 1;
    ioctlsocket(Handle(socket), FIONBIO, &on);
}

kvConnectStart SocketConnectStart(int socket, const std::vector<unsigned char>& address) {
    const sockaddr* addr = reinterpret_cast<const sockaddr*>(address.data());
    if (connect(Handle(socket), addr, static_cast<int>(address.size())) == 0)
        return kvConnectStart::Connected;
    return WSAGetLastError() == WSAEWOULDBLOCK ? kvConnectStart::InProgress
                                               : kvConnectStart::Failed;
}

int SocketConnectOutcome(int socket) {
    int error = 0;
    int len = sizeof error;
    if (getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) !=
        0)
        return -1;
    if (error == 0) return 0;
    return error == WSAECONNRESET ? 1 : -1;
}

// mstcpip.h's SIO_TCP_SET_ACK_FREQUENCY (Windows 10 and later; mingw-w64's
// headers lack it): how many segments may arrive before an acknowledgement
// goes out without waiting for the delayed-acknowledgement timer.
constexpr DWORD kSetAckFrequency = 0x98000017;

void SocketConnected(int socket) {
    BOOL one = TRUE;
    setsockopt(Handle(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
               sizeof one);
    // Every segment acknowledged at once: a server whose last small piece of
    // an answer waits for the acknowledgement of the previous one (Nagle)
    // would otherwise stall each answer by the timer (up to 200 ms). Systems
    // without the control keep their delayed acknowledgements.
    DWORD every = 1;
    DWORD returned = 0;
    WSAIoctl(Handle(socket), kSetAckFrequency, &every, sizeof every, nullptr, 0, &returned, nullptr,
             nullptr);
}

long SocketReceive(int socket, char* buffer, std::size_t size) {
    int room = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
    int n = recv(Handle(socket), buffer, room, 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? KV_SOCKET_AGAIN : -1;
}

long SocketSend(int socket, const char* data, std::size_t length, bool) {
    // The socket never blocks: a send that must wait reports it, and the caller waits.
    int room = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    int n = send(Handle(socket), data, room, 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? KV_SOCKET_AGAIN : -1;
}

void SocketClose(int socket) {
    shutdown(Handle(socket), SD_BOTH);
    closesocket(Handle(socket));
}

// Winsock has no acknowledgement on request after a receive (Linux's
// TCP_QUICKACK); SocketConnected asked for every segment to be acknowledged.
void NetAcknowledge(const kvConnection&) {}

bool IsAddressLiteral(const std::string& host) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
           inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}
