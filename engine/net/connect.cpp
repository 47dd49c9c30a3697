// The name lookup and the connect, shared by every system: the lookup runs
// getaddrinfo between the system's start and end of a lookup (net_socket.h),
// the connect drives the platform's socket calls through the network layer's
// waits.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include "connect.h"
#include "hand_over.h"

#include "net.h"
#include "net_socket.h"
#include "stop_signal.h"

#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>

namespace {
// Every address getaddrinfo gives for host and port, appended in its order.
bool CollectAddresses(const std::string& host, int port, kvAddressList& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    char portText[16];
    std::snprintf(portText, sizeof portText, "%d", port);
    if (getaddrinfo(host.c_str(), portText, &hints, &result) != 0 || result == nullptr)
        return false;
    for (addrinfo* ai = result; ai != nullptr; ai = ai->ai_next) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(ai->ai_addr);
        out.addresses.emplace_back(bytes, bytes + ai->ai_addrlen);
        out.families.push_back(ai->ai_family);
    }
    freeaddrinfo(result);
    return !out.addresses.empty();
}
} // namespace

bool ResolveServer(const std::string& host, int port, kvAddressList& out) {
    // The lookup may run on a thread of its own, which on some systems needs
    // the network library started for it.
    if (!SocketLookupBegin()) return false;
    bool found = CollectAddresses(host, port, out);
    SocketLookupEnd();
    return found;
}

kvResolveResult ResolveServerInterruptibly(const std::string& host, int port, kvAddressList& out,
                                           const kvStopSignal* stop, long long timeoutMs,
                                           const kvResolver& resolver) {
    // What the lookup's thread finds; the thread may outlive this call.
    struct Found {
        bool found = false;
        kvAddressList list;
    };
    auto lookup = std::make_shared<kvHandOver<Found>>();
    kvResolver resolve = resolver ? resolver : kvResolver(ResolveServer);
    try {
        std::thread([lookup, resolve, host, port] {
            Found answer;
            answer.found = resolve(host, port, answer.list);
            lookup->Give(std::move(answer));
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the lookup is made here, uninterruptible.
        return resolve(host, port, out) ? kvResolveResult::Found : kvResolveResult::NotFound;
    }
    Found answer;
    switch (lookup->Await(stop, timeoutMs, 20, answer)) {
    case kvHandOverWait::Given:
        break;
    case kvHandOverWait::Stopped:
        return kvResolveResult::Stopped;
    case kvHandOverWait::TimedOut:
        return kvResolveResult::TimedOut;
    }
    if (!answer.found) return kvResolveResult::NotFound;
    out = std::move(answer.list);
    return kvResolveResult::Found;
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
            int w = NetWait(conn, true, NetTimeoutMs(conn));
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
