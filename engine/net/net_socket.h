// What each system provides beneath the network layer (net_socket_posix.cpp,
// net_socket_windows.cpp): sockets, the wait on a socket and the stop signal,
// and the start-up of the system's network library. net.cpp builds the bounds
// on these, connect.cpp the name lookup and the connect.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct kvConnection;

// A receive or send that found nothing to do on a non-blocking socket.
constexpr long KV_SOCKET_AGAIN = -2;

// Waits at most waitMs (< 0: no limit) until the socket can be read (or
// written), or a connect on it ended either way. 1: ready; 0: the wait expired;
// -1: the wait failed or a stop was requested.
int SocketWait(const kvConnection& conn, bool forWrite, int waitMs);

// Brackets one name lookup (getaddrinfo) on the calling thread: what the
// system needs started for it. False when it cannot be started; SocketLookupEnd
// follows only a SocketLookupBegin that succeeded.
bool SocketLookupBegin();
void SocketLookupEnd();

// A non-blocking stream socket of the address family; -1 when none can be had.
int SocketOpen(int family);
enum class kvConnectStart { Connected, InProgress, Failed };
kvConnectStart SocketConnectStart(int socket, const std::vector<unsigned char>& address);
// Once a connect in progress ended: 0 connected; 1 connected, then reset by the
// server before it was looked at; -1 not connected.
int SocketConnectOutcome(int socket);
// A connected socket made ready for the session: no small-packet delay.
void SocketConnected(int socket);
void SocketSetNonBlocking(int socket);

// recv/send once: bytes moved, KV_SOCKET_AGAIN when the socket had nothing to
// give or no room, -1 on failure. SocketReceive returns 0 when the server closed.
long SocketReceive(int socket, char* buffer, std::size_t size);
long SocketSend(int socket, const char* data, std::size_t length, bool wait);
void SocketClose(int socket);

// True when host is an IPv4 or IPv6 address written out, not a name.
bool IsAddressLiteral(const std::string& host);
