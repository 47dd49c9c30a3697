// korvex-bench [--server HOST[:PORT]] [--group NAME] [--pattern WORD] [--dir DIR] [--skip-search]
//              [--tls-server nntps://HOST[:PORT]] [--cafile FILE]
// Prints one line of figures per benchmark. The search runs in plain text and
// then over TLS (default nntps://localhost:563 trusting
// /tmp/korvex-inn-tls/ca.pem, as scripts/inn-tls.sh sets up) when the CA file exists.
#include "bench.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

volatile long long bench::sink = 0;

int main(int argc, char** argv) {
    std::string server = "127.0.0.1", group = "korvex.test.big", pattern = "keystone";
    std::string dir = "/tmp";
    std::string tlsServer = "nntps://localhost:563", caFile = "/tmp/korvex-inn-tls/ca.pem";
    bool search = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--server" && hasValue)
            server = argv[++i];
        else if (a == "--group" && hasValue)
            group = argv[++i];
        else if (a == "--pattern" && hasValue)
            pattern = argv[++i];
        else if (a == "--dir" && hasValue)
            dir = argv[++i];
        else if (a == "--tls-server" && hasValue)
            tlsServer = argv[++i];
        else if (a == "--cafile" && hasValue)
            caFile = argv[++i];
        else if (a == "--skip-search")
            search = false;
        else {
            std::fprintf(stderr, "usage: korvex-bench [--server H] [--group G] [--pattern P] "
                                 "[--dir D] [--skip-search] [--tls-server S] [--cafile F]\n");
            return 64;
        }
    }
    // The whole search runs first, while this process is still small: a child
    // started by posix_spawn counts its parent's memory in its own peak.
    if (search && !bench::CliSearch(server, group, pattern, dir)) return 1;
    if (search && access(caFile.c_str(), R_OK) == 0 &&
        !bench::CliSearch(tlsServer, group, pattern, dir, caFile))
        return 1;
    bench::MatchHeaders();
    bench::ReceiveMultilineThroughput();
    bench::ResultsFileSaveLoad(dir);
    return 0;
}
