// Server addresses as typed. Whatever ParseServerAddress or ParseServerText
// accepts has a non-empty host and a port from 1 to 65535, and writing the
// result back in its canonical form ("host:port", "[v6]:port", with the
// scheme for TLS) parses to the same host, port and TLS choice.
#include "fuzz_check.h"

#include "records.h"
#include "server_address.h"

#include <string>

namespace {

std::string Canonical(const std::string& host, int port) {
    bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str(); // the fields hold C strings
    if (text.size() >= KV_FIELD_SIZE) text.resize(KV_FIELD_SIZE - 1);

    std::string host;
    int port = -7;
    if (ParseServerAddress(text.c_str(), host, port)) {
        FUZZ_CHECK(!host.empty());
        FUZZ_CHECK(port >= 1 && port <= 65535);
        // A host that holds a ']' cannot be written back in brackets.
        if (host.find(']') == std::string::npos && host.find('[') == std::string::npos) {
            std::string again;
            int againPort = 0;
            FUZZ_CHECK(ParseServerAddress(Canonical(host, port).c_str(), again, againPort));
            FUZZ_CHECK(again == host);
            FUZZ_CHECK(againPort == port);
        }
    }

    kvServerAddress address;
    if (ParseServerText(text.c_str(), address)) {
        FUZZ_CHECK(!address.host.empty());
        FUZZ_CHECK(address.port >= 1 && address.port <= 65535);
        FUZZ_CHECK(address.host.find_first_of("/@") == std::string::npos);
        if (address.host.find_first_of("[]") == std::string::npos) {
            std::string canonical = (address.implicitTls ? "nntps://" : "nntp://") +
                                    Canonical(address.host, address.port);
            kvServerAddress again;
            FUZZ_CHECK(ParseServerText(canonical.c_str(), again));
            FUZZ_CHECK(again.host == address.host);
            FUZZ_CHECK(again.port == address.port);
            FUZZ_CHECK(again.implicitTls == address.implicitTls);
            kvServerAddress bare;
            FUZZ_CHECK(ParseServerText(Canonical(address.host, address.port).c_str(), bare));
            // Without a scheme only the port of news over TLS means TLS.
            FUZZ_CHECK(bare.port == address.port &&
                       bare.implicitTls == (address.port == KV_NNTPS_PORT));
        }
    }
    return 0;
}
