// The network layer's logic shared by every system: server addresses, the
// bounds on waits and responses, status lines and commands. The sockets
// themselves are in net_socket_posix.cpp and net_socket_windows.cpp.
#include "net.h"

#include "credentials.h"
#include "net_socket.h"
#include "stop_signal.h"

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace {
// The scheme matched without regard to case.
bool StartsWithScheme(const std::string& text, const char* scheme, std::size_t n) {
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != scheme[i]) return false;
    return true;
}
} // namespace

bool ParseServerAddress(const char* server, std::string& host, int& port) {
    std::string text(server);
    port = KV_NNTP_PORT;
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        std::size_t close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            portText = rest.substr(1);
            if (portText.empty()) return false;
        }
    } else {
        std::size_t colon = text.find(':');
        if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
            host = text.substr(0, colon);
            portText = text.substr(colon + 1);
            if (portText.empty()) return false;
        } else {
            host = text; // a plain name, or a bare IPv6 address with several colons
        }
    }
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos)
            return false;
        port = std::atoi(portText.c_str());
        if (port < 1 || port > 65535) return false;
    }
    return !host.empty();
}

bool ParseServerText(const char* server, kvServerAddress& out) {
    static const struct {
        const char* scheme;
        int port;
        bool tls;
    } kSchemes[] = {{"nntp://", KV_NNTP_PORT, false}, {"nntps://", KV_NNTPS_PORT, true}};
    std::string text(server);
    out.port = KV_NNTP_PORT;
    out.implicitTls = false;
    int defaultPort = KV_NNTP_PORT;
    for (const auto& s : kSchemes) {
        std::size_t n = std::strlen(s.scheme);
        if (StartsWithScheme(text, s.scheme, n)) {
            text.erase(0, n);
            if (!text.empty() && text.back() == '/') text.pop_back();
            defaultPort = s.port;
            out.implicitTls = s.tls;
            break;
        }
    }
    // A path, user name or second scheme has no meaning here.
    if (text.find_first_of("/@") != std::string::npos) return false;
    int port = 0;
    if (!ParseServerAddress(text.c_str(), out.host, port)) return false;
    // ParseServerAddress answers 119 when no port was written.
    bool portWritten = text.size() > out.host.size() + (text[0] == '[' ? 2 : 0);
    out.port = portWritten ? port : defaultPort;
    return true;
}

kvResolveResult ResolveServerInterruptibly(const std::string& host, int port, kvAddressList& out,
                                           const kvStopSignal* stop, long long timeoutMs,
                                           const kvResolver& resolver) {
    // Shared with the lookup's thread, which may outlive this call.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool found = false;
        kvAddressList list;
    };
    auto lookup = std::make_shared<Lookup>();
    kvResolver resolve = resolver ? resolver : kvResolver(ResolveServer);
    try {
        std::thread([lookup, resolve, host, port] {
            kvAddressList list;
            bool found = resolve(host, port, list);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->list = std::move(list);
            lookup->found = found;
            lookup->done = true;
            lookup->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the lookup is made here, uninterruptible.
        return resolve(host, port, out) ? kvResolveResult::Found : kvResolveResult::NotFound;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // The stop is looked at every few milliseconds: the same wait works
    // wherever a stop request is not a descriptor to wait on.
    const auto step = std::chrono::milliseconds(20);
    std::unique_lock<std::mutex> lock(lookup->mutex);
    for (;;) {
        if (lookup->done) {
            if (!lookup->found) return kvResolveResult::NotFound;
            out = std::move(lookup->list);
            return kvResolveResult::Found;
        }
        if (stop != nullptr && stop->StopRequested()) return kvResolveResult::Stopped;
        auto now = Clock::now();
        if (now >= deadline) return kvResolveResult::TimedOut;
        lookup->finished.wait_for(lock, deadline - now < step ? deadline - now : step);
    }
}

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

kvConnectResult ConnectToAny(const kvAddressList& list, kvConnection& conn) {
    bool anySocket = false;
    for (std::size_t i = 0; i < list.addresses.size(); ++i) {
        if (conn.stop != nullptr && conn.stop->StopRequested()) return kvConnectResult::Stopped;
        int fd = SocketOpen(list.families[i]);
        if (fd < 0) continue;
        anySocket = true;
        conn.socket = fd;
        kvConnectStart start = SocketConnectStart(fd, list.addresses[i]);
        bool connected = start == kvConnectStart::Connected;
        if (start == kvConnectStart::InProgress) {
            // An address that never answers costs the time-out, then the next is tried.
            int w = WaitFor(conn, true, NetTimeoutMs(conn));
            if (w < 0 && conn.stop != nullptr && conn.stop->StopRequested()) {
                SocketClose(fd);
                conn.socket = -1;
                return kvConnectResult::Stopped;
            }
            int outcome = w == 1 ? SocketConnectOutcome(fd) : -1;
            connected = outcome >= 0;
            // Connected, then reset by the server before we looked: the reset
            // was taken from the socket, so the first receive reports it.
            if (outcome == 1) conn.resetAtConnect = true;
        }
        if (connected) {
            SocketConnected(fd);
            conn.inputLength = 0;
            return kvConnectResult::Connected;
        }
        SocketClose(fd);
        conn.socket = -1;
    }
    return anySocket ? kvConnectResult::Refused : kvConnectResult::NoSocket;
}

void SetNetTimeout(kvConnection& conn, int seconds) {
    conn.timeoutSeconds = seconds;
}

kvHandshakeResult StartSecureChannel(kvConnection& conn, const std::string& host,
                                     const kvTlsSettings& settings, std::string& reason) {
    conn.inputLength = 0;
    std::unique_ptr<kvSecureChannel> channel = MakeSecureChannel(settings, reason);
    if (!channel) return kvHandshakeResult::Failed;
    kvHandshakeResult r = channel->Handshake(conn, host, reason);
    if (r == kvHandshakeResult::Secure) conn.secure = std::move(channel);
    return r;
}

static long ReceiveBytes(kvConnection& conn, char* buffer, std::size_t size) {
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

long NetSend(kvConnection& conn, const char* data, std::size_t length) {
    if (conn.secure) return conn.secure->Send(conn, data, length);
    // A command almost always fits the socket's send buffer at once: try that
    // first and wait for writability only when it does not.
    long taken = NetTrySend(conn, data, length);
    if (taken != 0 || length == 0) return taken;
    for (;;) {
        int w = WaitFor(conn, true, NetTimeoutMs(conn));
        if (w <= 0) return w;
        long n = SocketSend(conn.socket, data, length, true);
        if (n != KV_SOCKET_AGAIN) return n;
    }
}

long NetTrySend(kvConnection& conn, const char* data, std::size_t length) {
    if (conn.secure) return conn.secure->TrySend(conn, data, length);
    long n = SocketSend(conn.socket, data, length, false);
    return n == KV_SOCKET_AGAIN ? 0 : n;
}

static long ReceiveStatusLineBounded(kvConnection& conn, char* reply, std::size_t size);

long ReceiveStatusLine(kvConnection& conn, char* reply, std::size_t size) {
    BeginResponse(conn);
    long n = ReceiveStatusLineBounded(conn, reply, size);
    EndResponse(conn);
    return n;
}

static long ReceiveStatusLineBounded(kvConnection& conn, char* reply, std::size_t size) {
    for (;;) {
        char* lf = static_cast<char*>(std::memchr(conn.input, '\n', conn.inputLength));
        if (lf != nullptr) {
            std::size_t lineLength = static_cast<std::size_t>(lf - conn.input) + 1;
            std::size_t kept = lineLength < size ? lineLength : size - 1;
            std::memcpy(reply, conn.input, kept);
            reply[kept] = '\0';
            conn.inputLength -= lineLength;
            std::memmove(conn.input, lf + 1, conn.inputLength);
            return static_cast<long>(lineLength);
        }
        if (conn.inputLength >= KV_RECEIVE_PIECE) {
            // An overlong reply line: keep its start, drop the rest as it arrives.
            std::size_t kept = conn.inputLength < size ? conn.inputLength : size - 1;
            std::memcpy(reply, conn.input, kept);
            reply[kept] = '\0';
            for (;;) {
                long n = NetReceive(conn, conn.input, KV_RECEIVE_PIECE);
                if (n <= 0) return n;
                char* end = static_cast<char*>(std::memchr(conn.input, '\n', n));
                if (end != nullptr) {
                    conn.inputLength = static_cast<std::size_t>(conn.input + n - (end + 1));
                    std::memmove(conn.input, end + 1, conn.inputLength);
                    return static_cast<long>(kept);
                }
            }
        }
        long n = NetReceive(conn, conn.input + conn.inputLength, KV_RECEIVE_PIECE);
        if (n <= 0) return n;
        conn.inputLength += static_cast<std::size_t>(n);
    }
}

int FormatCommandV(char* command, const char* format, va_list args) {
    int length = std::vsnprintf(command, KV_COMMAND_SIZE, format, args);
    if (length < 2 || length >= static_cast<int>(KV_COMMAND_SIZE)) return -1;
    // Only the command's own line end may be in it: a CR or LF inside an
    // argument would smuggle a second command to the server.
    for (int i = 0; i < length - 2; ++i)
        if (command[i] == '\r' || command[i] == '\n') return -1;
    return length;
}

bool SendCommand(kvConnection& conn, const char* format, ...) {
    char command[KV_COMMAND_SIZE];
    va_list args;
    va_start(args, format);
    int length = FormatCommandV(command, format, args);
    va_end(args);
    if (length >= 0) NetSend(conn, command, static_cast<std::size_t>(length));
    WipeBytes(command, sizeof command); // it may have held a password
    return length >= 0;
}

void SendQuit(kvConnection& conn) {
    // The reply to QUIT gets its few seconds even after the run's time is up.
    conn.runDeadlineMs = 0;
    SetNetTimeout(conn, 5);
    SendCommand(conn, "QUIT\r\n");
    char reply[512] = {};
    SetNetTimeout(conn, 5);
    NetReceive(conn, reply, sizeof reply);
}

void CloseSocket(kvConnection& conn) {
    if (conn.socket < 0) return;
    if (conn.secure) {
        conn.secure->Close(conn);
        conn.secure.reset();
    }
    SocketClose(conn.socket);
    conn.socket = -1;
    conn.inputLength = 0;
    conn.resetAtConnect = false;
}
