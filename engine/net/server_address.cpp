// Server addresses as typed: the host, the port and the scheme.
#include "server_address.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

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
    } kSchemes[] = {{"nntp://", KV_NNTP_PORT, false},
                    {"nntps://", KV_NNTPS_PORT, true},
                    {"snews://", KV_NNTPS_PORT, true}};
    std::string text(server);
    out.port = KV_NNTP_PORT;
    out.implicitTls = false;
    int defaultPort = KV_NNTP_PORT;
    bool schemeWritten = false;
    for (const auto& s : kSchemes) {
        std::size_t n = std::strlen(s.scheme);
        if (StartsWithScheme(text, s.scheme, n)) {
            schemeWritten = true;
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
    // The port of news over TLS, with no scheme to say otherwise: TLS from
    // the first byte, as nntps:// would give.
    if (!schemeWritten && out.port == KV_NNTPS_PORT) out.implicitTls = true;
    return true;
}
