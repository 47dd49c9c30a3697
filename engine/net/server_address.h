// A news server's address as the user writes it: host, port and whether the
// connection is encrypted from its first byte.
#pragma once

#include <string>

constexpr int KV_NNTP_PORT = 119;
constexpr int KV_NNTPS_PORT = 563;

// "host", "host:port", "[v6addr]:port", "[v6addr]" or a bare IPv6 address.
// False when the port is not a number from 1 to 65535.
bool ParseServerAddress(const char* server, std::string& host, int& port);

// A server as the user types it: any form ParseServerAddress takes, optionally
// behind "nntp://" (plain, port 119) or "nntps://" (TLS from the first byte,
// port 563; "snews://" is taken as the same); the scheme is case-insensitive
// and one trailing "/" is allowed. Without a scheme, port 563 means TLS from
// the first byte.
struct kvServerAddress {
    std::string host;
    int port = KV_NNTP_PORT;
    bool implicitTls = false;
};
bool ParseServerText(const char* server, kvServerAddress& out);
