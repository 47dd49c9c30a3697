// The network layer's logic shared by every system: the bounds on waits and
// responses, receiving and sending, and the connection's end. The sockets
// themselves are in net_socket_posix.cpp and net_socket_windows.cpp.
#include "net.h"

#include "net_socket.h"
#include "stop_signal.h"

#include <chrono>
#include <cstring>
#include <new>

static long long SteadyMilliseconds() {
    using namespace std::chrono;
    // Never 0, which marks "no response being read".
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

// The bound of time nearest to now and the milliseconds left until it (at
// least 0); kvBoundHit::None when there is none.
static kvBoundHit NearestBound(const kvConnection& conn, long long& left) {
    kvBoundHit bound = kvBoundHit::None;
    if (conn.runDeadlineMs > 0) {
        long long now = conn.clock ? conn.clock() : SteadyMilliseconds();
        left = conn.runDeadlineMs - now;
        bound = kvBoundHit::TimeLimit;
    }
    if (conn.responseStartMs > 0 && conn.maxResponseSeconds > 0) {
        long long responseLeft = conn.responseStartMs +
                                 static_cast<long long>(conn.maxResponseSeconds) * 1000 -
                                 SteadyMilliseconds();
        if (bound == kvBoundHit::None || responseLeft < left) {
            left = responseLeft;
            bound = kvBoundHit::ResponseTime;
        }
    }
    if (left < 0) left = 0;
    return bound;
}

// True (and the bound noted) when a bound of time has passed.
static bool BoundPassed(const kvConnection& conn) {
    long long left = 0;
    kvBoundHit bound = NearestBound(conn, left);
    if (bound == kvBoundHit::None || left > 0) return false;
    conn.boundHit = bound;
    return true;
}

void BeginResponse(kvConnection& conn) {
    conn.responseStartMs = SteadyMilliseconds();
    conn.responseBytes = 0;
}

void EndResponse(kvConnection& conn) {
    conn.responseStartMs = 0;
}

// Waits for the socket to become ready for `events`. 1: ready; 0: the wait
// expired or a bound of time passed (then noted in conn.boundHit); -1: the
// wait failed or a stop was requested. timeoutMs < 0 waits forever (within the bounds).
static int WaitFor(const kvConnection& conn, bool forWrite, long long timeoutMs) {
    const long long waitEnd = timeoutMs < 0 ? 0 : SteadyMilliseconds() + timeoutMs;
    for (;;) {
        long long wait = timeoutMs < 0 ? -1 : waitEnd - SteadyMilliseconds();
        if (timeoutMs >= 0 && wait < 0) wait = 0;
        long long boundLeft = 0;
        kvBoundHit bound = NearestBound(conn, boundLeft);
        if (bound != kvBoundHit::None && boundLeft == 0) {
            conn.boundHit = bound;
            return 0;
        }
        bool boundNearer = bound != kvBoundHit::None && (wait < 0 || boundLeft < wait);
        if (boundNearer) wait = boundLeft;
        if (wait > 2147483647LL) wait = 2147483647LL;
        int r = SocketWait(conn, forWrite, static_cast<int>(wait));
        if (r == 0 && boundNearer) continue; // the bound is checked again above
        return r;
    }
}

long long NetTimeoutMs(const kvConnection& conn) {
    return static_cast<long long>(conn.timeoutSeconds) * 1000;
}

int NetWait(const kvConnection& conn, bool forWrite, long long timeoutMs) {
    return WaitFor(conn, forWrite, timeoutMs);
}

void SetNetTimeout(kvConnection& conn, int seconds) {
    conn.timeoutSeconds = seconds;
}

// What arrives from the peer, the TLS channel or the socket, before any inflating.
static long ReceiveRaw(kvConnection& conn, char* buffer, std::size_t size) {
    if (conn.peer != nullptr) return conn.peer->Receive(buffer, size);
    if (conn.secure) return conn.secure->Receive(conn, buffer, size);
    if (conn.resetAtConnect) return -1;
    for (;;) {
        int w = WaitFor(conn, false, NetTimeoutMs(conn));
        if (w <= 0) return w;
        long n = SocketReceive(conn.socket, buffer, size);
        if (n == KV_SOCKET_AGAIN) continue; // woken with nothing to read after all
        NetAcknowledge(conn);
        return n;
    }
}

// Inflates into buffer, receiving compressed bytes as they are needed. A
// stream that does not inflate is a failed receive.
static long ReceiveInflated(kvConnection& conn, char* buffer, std::size_t size) {
    kvCompressStream& z = *conn.compress;
    for (bool first = true;; first = false) {
        // Compressed bytes that inflate to nothing still take their time.
        if (!first && BoundPassed(conn)) return 0;
        long made = z.Inflate(buffer, size);
        if (made != 0) return made;
        std::size_t room = 0;
        char* space = z.InputSpace(room);
        if (room == 0) return -1;
        long n = ReceiveRaw(conn, space, room);
        if (n <= 0) return n;
        z.InputAdded(static_cast<std::size_t>(n));
    }
}

static long ReceiveBytes(kvConnection& conn, char* buffer, std::size_t size) {
    if (conn.compress) return ReceiveInflated(conn, buffer, size);
    return ReceiveRaw(conn, buffer, size);
}

long NetReceive(kvConnection& conn, char* buffer, std::size_t size) {
    // Checked before every receive as well as in the waits: bytes that keep
    // arriving without a wait must not carry a response past its bounds.
    if (BoundPassed(conn)) return 0;
    long n = ReceiveBytes(conn, buffer, size);
    if (n > 0 && conn.responseStartMs > 0) {
        conn.responseBytes += static_cast<std::size_t>(n);
        if (conn.maxResponseBytes > 0 && conn.responseBytes > conn.maxResponseBytes) {
            conn.boundHit = kvBoundHit::ResponseSize;
            return -1;
        }
    }
    return n;
}

static long SendRaw(kvConnection& conn, const char* data, std::size_t length);
static long TrySendRaw(kvConnection& conn, const char* data, std::size_t length);

// Sends through the compressor. Like a TLS channel, it takes a piece whole or
// not at all: bytes deflated but not yet taken below are held, and the caller
// offers the same bytes again (see NetTrySend), which then only pushes out
// what is held. `wait`: with the time-out, as NetSend; else as NetTrySend.
static long SendDeflated(kvConnection& conn, const char* data, std::size_t length, bool wait) {
    kvCompressStream& z = *conn.compress;
    if (z.heldPlain == 0) {
        if (length == 0) return 0;
        if (!z.Deflate(data, length, z.pending)) return -1;
        z.heldPlain = length;
    }
    while (!z.pending.empty()) {
        long n = wait ? SendRaw(conn, z.pending.data(), z.pending.size())
                      : TrySendRaw(conn, z.pending.data(), z.pending.size());
        if (n <= 0) return n;
        z.pending.erase(0, static_cast<std::size_t>(n));
    }
    long taken = static_cast<long>(z.heldPlain);
    z.heldPlain = 0;
    return taken;
}

long NetSend(kvConnection& conn, const char* data, std::size_t length) {
    if (conn.compress) return SendDeflated(conn, data, length, true);
    return SendRaw(conn, data, length);
}

long NetTrySend(kvConnection& conn, const char* data, std::size_t length) {
    if (conn.compress) return SendDeflated(conn, data, length, false);
    return TrySendRaw(conn, data, length);
}

static long SendRaw(kvConnection& conn, const char* data, std::size_t length) {
    if (conn.secure) return conn.secure->Send(conn, data, length);
    // A command almost always fits the socket's send buffer at once: try that
    // first and wait for writability only when it does not.
    long taken = TrySendRaw(conn, data, length);
    if (taken != 0 || length == 0) return taken;
    for (;;) {
        int w = WaitFor(conn, true, NetTimeoutMs(conn));
        if (w <= 0) return w;
        long n = SocketSend(conn.socket, data, length, true);
        if (n != KV_SOCKET_AGAIN) return n;
    }
}

static long TrySendRaw(kvConnection& conn, const char* data, std::size_t length) {
    if (conn.secure) return conn.secure->TrySend(conn, data, length);
    long n = SocketSend(conn.socket, data, length, false);
    return n == KV_SOCKET_AGAIN ? 0 : n;
}

bool StartCompressedStream(kvConnection& conn) {
    if (conn.compress) return false;
    std::unique_ptr<kvCompressStream> z(new (std::nothrow) kvCompressStream());
    if (!z || !z->Ready()) return false;
    std::size_t room = 0;
    char* space = z->InputSpace(room);
    if (conn.inputLength > room) return false; // cannot happen: input is smaller
    std::memcpy(space, conn.input, conn.inputLength);
    z->InputAdded(conn.inputLength);
    conn.inputLength = 0;
    conn.compress = std::move(z);
    return true;
}

kvConnection::~kvConnection() {
    CloseSocket(*this);
}

void CloseSocket(kvConnection& conn) {
    if (conn.socket < 0) return;
    if (conn.secure) {
        conn.secure->Close(conn);
        conn.secure.reset();
    }
    SocketClose(conn.socket);
    conn.socket = -1;
    conn.compress.reset();
    conn.inputLength = 0;
    conn.resetAtConnect = false;
}
