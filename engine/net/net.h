// The network layer under the search run: one TCP connection to a news server,
// with a time-out on every wait and a way to interrupt every wait at once.
//
// Return conventions (the search run relies on them):
//   NetReceive / NetSend: bytes transferred; 0 when the wait expired or (receive)
//   the server closed the connection; -1 when the wait or the transfer failed or
//   a stop was requested.
// Used only by the thread that runs the search; nothing here is locked.
#pragma once

#include "secure_channel.h"

#include <cstdarg>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class kvStopSignal;

constexpr int KV_NNTP_PORT = 119;
constexpr int KV_NNTPS_PORT = 563;

// Bytes received but not yet consumed: a status reply may arrive together with
// more data, and a response may end in the middle of a piece.
constexpr std::size_t KV_RECEIVE_BUFFER_SIZE = 4100;
constexpr std::size_t KV_RECEIVE_PIECE = 2048;

// A source of received bytes that stands in for the socket: benchmarks and
// tests feed a response from memory through the same receive path.
class kvBytePeer {
  public:
    virtual ~kvBytePeer() = default;
    // Same conventions as NetReceive.
    virtual long Receive(char* buffer, std::size_t size) = 0;
};

// Which bound ended a wait or a receive (see kvConnection).
enum class kvBoundHit { None, TimeLimit, ResponseTime, ResponseSize };

struct kvConnection {
    int socket = -1;
    kvBytePeer* peer = nullptr; // when set, receives come from it instead of the socket
    int timeoutSeconds = 30;
    const kvStopSignal* stop = nullptr;
    // When set, every byte goes through it: the connection is encrypted.
    std::unique_ptr<kvSecureChannel> secure;
    char input[KV_RECEIVE_BUFFER_SIZE];
    std::size_t inputLength = 0;
    bool resetAtConnect = false; // the server reset the connection as it was made

    // Bounds that hold inside a response, whatever the server sends. The run's
    // end is a moment on `clock` (milliseconds; 0: none); every wait ends
    // there. A response being read (BeginResponse to EndResponse) ends after
    // maxResponseSeconds, or once more than maxResponseBytes arrived while it
    // was read (0: no such bound). A bound of time ends a wait as a time-out
    // (0), the bound of bytes a receive as a failure (-1); boundHit says which.
    long long runDeadlineMs = 0;
    std::function<long long()> clock; // empty: the steady clock
    int maxResponseSeconds = 0;
    std::size_t maxResponseBytes = 0;
    long long responseStartMs = 0; // steady clock; 0: no response is being read
    std::size_t responseBytes = 0;
    mutable kvBoundHit boundHit = kvBoundHit::None;
};

// Marks the start and the end of reading one response (see kvConnection).
void BeginResponse(kvConnection& conn);
void EndResponse(kvConnection& conn);

// "host", "host:port", "[v6addr]:port", "[v6addr]" or a bare IPv6 address.
// False when the port is not a number from 1 to 65535.
bool ParseServerAddress(const char* server, std::string& host, int& port);

// A server as the user types it: any form ParseServerAddress takes, optionally
// behind "nntp://" (plain, port 119) or "nntps://" (TLS from the first byte,
// port 563); the scheme is case-insensitive and one trailing "/" is allowed.
struct kvServerAddress {
    std::string host;
    int port = KV_NNTP_PORT;
    bool implicitTls = false;
};
bool ParseServerText(const char* server, kvServerAddress& out);

// Starts and stops the system's network library (Winsock 2.2 on Windows;
// nothing to do on POSIX). Each thread that searches pairs its own calls.
bool NetStartup();
void NetCleanup();
// The Winsock version NetStartup asks for, major.minor (2.2 unless changed);
// without effect elsewhere. Tests ask for one that does not exist.
void SetRequestedWinsockVersion(int major, int minor);

// Resolved addresses of a server, in the order the resolver gave them.
struct kvAddressList {
    std::vector<std::vector<unsigned char>> addresses; // sockaddr bytes
    std::vector<int> families;
};
bool ResolveServer(const std::string& host, int port, kvAddressList& out);

// A name lookup like ResolveServer; tests put slow ones in its place.
using kvResolver = std::function<bool(const std::string& host, int port, kvAddressList& out)>;

enum class kvResolveResult { Found, NotFound, TimedOut, Stopped };
// Runs `resolver` (ResolveServer when empty) on a thread of its own and waits
// for it at most timeoutMs, returning at once when a stop is requested. A
// lookup given up on finishes unseen: its result is dropped, and nothing of
// the caller's is touched.
kvResolveResult ResolveServerInterruptibly(const std::string& host, int port, kvAddressList& out,
                                           const kvStopSignal* stop, long long timeoutMs,
                                           const kvResolver& resolver = {});

enum class kvConnectResult { Connected, NoSocket, Refused, Stopped };
// Tries the addresses in order until one connects. Each connect waits at most
// the connection's time-out (then the next address is tried); a stop request
// ends it at once.
kvConnectResult ConnectToAny(const kvAddressList& list, kvConnection& conn);

void SetNetTimeout(kvConnection& conn, int seconds);
// Waits until the socket can be read (or written), at most timeoutMs (< 0: no
// limit). 1: ready; 0: the wait expired; -1: the wait failed or a stop was requested.
int NetWait(const kvConnection& conn, bool forWrite, long long timeoutMs);
// The connection's time-out in milliseconds, computed without overflow.
long long NetTimeoutMs(const kvConnection& conn);

// Acknowledges received data at once: a server that sends a multi-line
// response in several segments otherwise waits for our delayed ACK between them.
void NetAcknowledge(const kvConnection& conn);

// Starts TLS on a connected socket (at once for nntps, after 382 for STARTTLS).
// Anything received before is dropped. On failure the socket stays open and
// `reason` says why; the result tells a time-out and a stop apart.
kvHandshakeResult StartSecureChannel(kvConnection& conn, const std::string& host,
                                     const kvTlsSettings& settings, std::string& reason);
long NetReceive(kvConnection& conn, char* buffer, std::size_t size);
long NetSend(kvConnection& conn, const char* data, std::size_t length);
// One send that never waits: the bytes the socket took (0 when its buffer is
// full), or -1 when the send failed.
long NetTrySend(kvConnection& conn, const char* data, std::size_t length);

// Reads one status reply line (through its LF) into reply, cut to size-1 bytes
// and NUL-terminated. Bytes after the LF stay in the connection's input.
// Returns the line's length (> 0), or the failing NetReceive result (0 or -1).
long ReceiveStatusLine(kvConnection& conn, char* reply, std::size_t size);

constexpr std::size_t KV_COMMAND_SIZE = 512;
// Formats a command into a command buffer of KV_COMMAND_SIZE bytes. Returns its
// length, or -1 when it would not fit or an argument holds a CR or LF.
int FormatCommandV(char* command, const char* format, va_list args);

// Formats a command into the 512-byte command buffer and sends it. False (and
// nothing sent) when it would not fit or an argument holds a CR or LF.
bool SendCommand(kvConnection& conn, const char* format, ...) __attribute__((format(printf, 2, 3)));

// QUIT with a 5-second wait for the reply, which is read and dropped.
void SendQuit(kvConnection& conn);
// Ends TLS (if any), shuts the socket down both ways and closes it.
void CloseSocket(kvConnection& conn);
