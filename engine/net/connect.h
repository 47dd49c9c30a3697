// Finding a news server and connecting to it: the name lookup (stoppable, with
// a time-out) and the connect that tries each address in turn.
#pragma once

#include <functional>
#include <string>
#include <vector>

class kvStopSignal;
struct kvConnection;

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
