// The network layer under the search run: one TCP connection to a news server,
// with a time-out on every wait and a way to interrupt every wait at once.
//
// Return conventions (the search run relies on them):
//   NetReceive / NetSend: bytes transferred; 0 when the wait expired or (receive)
//   the server closed the connection; -1 when the wait or the transfer failed or
//   a stop was requested.
// Used only by the thread that runs the search; nothing here is locked.
#pragma once

#include "compress_stream.h"
#include "secure_channel.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class kvStopSignal;

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

// Owns its socket and its TLS session: both end with it (see CloseSocket).
struct kvConnection {
    kvConnection() = default;
    ~kvConnection();
    kvConnection(const kvConnection&) = delete;
    kvConnection& operator=(const kvConnection&) = delete;

    int socket = -1;
    kvBytePeer* peer = nullptr; // when set, receives come from it instead of the socket
    int timeoutSeconds = 30;
    const kvStopSignal* stop = nullptr;
    // When set, every byte goes through it: the connection is encrypted.
    std::unique_ptr<kvSecureChannel> secure;
    // When set, every byte after the server's agreement is deflated: it sits
    // between the lines read and sent here and the socket or TLS below, so
    // the bounds and `input` see the inflated bytes (see StartCompressedStream).
    std::unique_ptr<kvCompressStream> compress;
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

void SetNetTimeout(kvConnection& conn, int seconds);
// Waits until the socket can be read (or written), at most timeoutMs (< 0: no
// limit). 1: ready; 0: the wait expired; -1: the wait failed or a stop was requested.
int NetWait(const kvConnection& conn, bool forWrite, long long timeoutMs);
// The connection's time-out in milliseconds, computed without overflow.
long long NetTimeoutMs(const kvConnection& conn);

// Acknowledges received data at once: a server that sends a multi-line
// response in several segments otherwise waits for our delayed ACK between them.
void NetAcknowledge(const kvConnection& conn);

long NetReceive(kvConnection& conn, char* buffer, std::size_t size);
long NetSend(kvConnection& conn, const char* data, std::size_t length);
// One send that never waits: the bytes the socket took (0 when its buffer is
// full), or -1 when the send failed.
long NetTrySend(kvConnection& conn, const char* data, std::size_t length);

// From now on every byte on the connection is deflated both ways. The bytes
// already received behind the server's agreement are compressed ones: they
// are taken out of `input` and inflated first. False (nothing changed) when
// the stream could not be set up or the connection already compresses.
bool StartCompressedStream(kvConnection& conn);

// Ends TLS (if any), shuts the socket down both ways and closes it. Once
// closed, a further call does nothing; the connection's end closes it too.
void CloseSocket(kvConnection& conn);
